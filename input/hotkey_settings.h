// The hotkey: a main key and an optional modifier key, as Windows virtual-key
// codes read from the settings file.
//
// loadHotkeySettings runs on the script thread when the script starts, before
// its first frame; only the script thread reads hotkeySettings afterwards.
#pragma once

#include <cstdint>

// The settings file, relative so that it is found in the process's current
// directory (the game's folder), with its one section and two keys.
inline constexpr const char* SettingsFile = ".\\Quillmere.ini";
inline constexpr const char* SettingsSection = "keys";
inline constexpr const char* ModifierKeySetting = "quillmere_modifier";
inline constexpr const char* MainKeySetting = "quillmere";

// A modifier setting of -1 (all 32 bits set, also the default) means none.
inline constexpr std::uint32_t NoModifier = 0xFFFFFFFF;
// The N key.
inline constexpr std::uint32_t DefaultMainKey = 78;

// Invariant: once loaded, noModifier == (modifierKey == NoModifier). Key codes
// are kept as read, unbounded: one the key state table has no record for is
// never held, which disables the hotkey without any message.
struct HotkeySettings {
  std::uint32_t mainKey;      // key code of the main key
  std::uint32_t modifierKey;  // key code of the modifier key, NoModifier for none
  bool noModifier;            // modifierKey == NoModifier
};

// All zero until loadHotkeySettings first runs; nothing reads it before.
extern HotkeySettings hotkeySettings;

// Reads the two keys into hotkeySettings; a missing file or key gives its
// default. Never writes the file.
void loadHotkeySettings();
