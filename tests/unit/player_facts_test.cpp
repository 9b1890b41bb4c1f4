// The player's facts (tests/common/player_facts.h) and the game's natives
// (standins/world/game_natives.h) against the plugin's own constants, at
// compile time: a fact changed on one side alone stops the build before any
// test runs, with one line naming both sides, rather than failing the many
// tests that depend on it without naming either. A fact the plugin holds in
// another form is compared as what it means.
#include "tests/common/player_facts.h"

#include <string_view>

#include "host/natives.h"
#include "input/hotkey_settings.h"
#include "input/key_state.h"
#include "neon/neon_switch.h"
#include "standins/world/game_natives.h"

#define SAME(ours, theirs, file, plugins)                                           \
  static_assert((ours) == (plugins), theirs "'s " #ours " and " file "'s " #plugins \
                                            " differ: "                             \
                                            "make them agree")
#define SAME_FACT(ours, file, plugins) SAME(ours, "tests/common/player_facts.h", file, plugins)
#define SAME_NATIVE(ours, plugins) \
  SAME(GameNatives::ours, "standins/world/game_natives.h", "host/natives.h", plugins)

using Text = std::string_view;

static_assert(Text(SettingsFile).substr(0, 2) == ".\\" &&
                  Text(SettingsFile).substr(2) == IniFileName,
              "tests/common/player_facts.h's IniFileName in the current folder (.\\) and "
              "input/hotkey_settings.h's SettingsFile differ: make them agree");
SAME_FACT(IniSection, "input/hotkey_settings.h", Text(SettingsSection));
SAME_FACT(IniMainKey, "input/hotkey_settings.h", Text(MainKeySetting));
SAME_FACT(IniModifierKey, "input/hotkey_settings.h", Text(ModifierKeySetting));
SAME_FACT(Minus1, "input/hotkey_settings.h", NoModifier);
SAME_FACT(DefaultKey, "input/hotkey_settings.h", DefaultMainKey);
// A record for each key code from 0 to the highest.
SAME_FACT(HighestKeyCode + 1, "input/key_state.h", KeyTableSize);
SAME_FACT(HoldWindowMs, "input/key_state.h", KeyHoldWindowMs);
SAME_FACT(SwitchSpacingMs, "neon/neon_switch.h", SwitchMinIntervalMs);
SAME_NATIVE(PlayerCharacter, PlayerCharacterNative);
SAME_NATIVE(OccupiedVehicle, OccupiedVehicleNative);
SAME_NATIVE(NeonColourGetter, NeonColourGetterNative);
SAME_NATIVE(NeonColourSetter, NeonColourSetterNative);
