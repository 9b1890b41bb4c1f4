#include <vector>

#include "plugin_test.h"

namespace {

constexpr GameHandle Car = 0x4001;
constexpr NeonColour Red = {255, 0, 0};

// What the plugin makes of the values the settings file reads as (how its
// text reads is KERNEL32's own rule, tested under Wine in tests/ini_reader).
struct SettingsCase {
  const char* name = nullptr;
  const char* file = nullptr;       // the file's name in the game's folder; null: none
  std::vector<SettingsLine> lines;  // what it holds under [keys]
  std::vector<std::uint32_t> held;  // the keys held down
  bool fires = false;               // whether the lights switch
};

const SettingsCase settingsCases[] = {
    {"no file: N alone", nullptr, {}, {DefaultKey}, true},
    {"an empty file: N alone", IniFileName, {}, {DefaultKey}, true},
    {"another file's keys count for nothing", "Other.ini", {{IniMainKey, KeyL}}, {KeyL}, false},
    {"a main key alone", IniFileName, {{IniMainKey, KeyL}}, {KeyL}, true},
    {"a main key: N no longer", IniFileName, {{IniMainKey, KeyL}}, {DefaultKey}, false},
    {"modifier and main key",
     IniFileName,
     {{IniModifierKey, KeyCtrl}, {IniMainKey, KeyL}},
     {KeyCtrl, KeyL},
     true},
    {"modifier -1 is none",
     IniFileName,
     {{IniModifierKey, Minus1}, {IniMainKey, KeyL}},
     {KeyL},
     true},
    {"modifier 0 is a key", IniFileName, {{IniModifierKey, 0}}, {DefaultKey}, false},
    {"modifier 0 is a key, held", IniFileName, {{IniModifierKey, 0}}, {0, DefaultKey}, true},
    {"modifier outside the table",
     IniFileName,
     {{IniModifierKey, HighestKeyCode + 1}},
     {HighestKeyCode + 1, DefaultKey},
     false},
    {"modifier -2", IniFileName, {{IniModifierKey, Minus1 - 1}}, {DefaultKey}, false},
    {"main key outside the table", IniFileName, {{IniMainKey, 4096}}, {4096}, false},
};

using HotkeySettingsTest = PluginTest;

TEST_F(HotkeySettingsTest, TheSettingsFileOrItsDefaultsMakeTheHotkey) {
  for (const SettingsCase& c : settingsCases) {
    SetUp();  // a fresh load, no file
    if (c.file != nullptr) {
      writeSettingsFile(c.lines);
      standinSettings.name = c.file;
    }
    loadHotkeySettings();
    vehicle(Car, Red);
    sitIn(Car);
    frame();  // got in
    for (std::uint32_t key : c.held) {
      keyDown(key);
    }
    EXPECT_EQ(frameSwitchesAt(1), c.fires) << c.name;
  }
}

}  // namespace
