// The player's side of the plugin, written out once for every test, the
// benchmark and the ride: the settings file as a player writes it (its name,
// section, keys and defaults), the key codes Windows gives the keys the tests
// press, and the timings a player sees. Never taken from the plugin's own
// constants: a check that borrowed the plugin's value could not catch a
// wrong one. The player's text and the shipped settings file are checked
// against these (tests/unit/player_text_test.cpp). Free of GoogleTest, so
// the ride tool shares it.
#pragma once

#include <cstdint>

// The settings file, in the game's folder, and what it holds.
inline constexpr const char* IniFileName = "Quillmere.ini";
inline constexpr const char* IniSection = "keys";
inline constexpr const char* IniMainKey = "quillmere";
inline constexpr const char* IniModifierKey = "quillmere_modifier";
// A modifier of -1, read into 32 bits: no modifier, also the default.
inline constexpr std::uint32_t Minus1 = 0xFFFFFFFF;

// Key codes as Windows gives them.
inline constexpr std::uint32_t KeyN = 78;
inline constexpr std::uint32_t KeyL = 76;
inline constexpr std::uint32_t KeyCtrl = 17;
// With no file, or no main key in it, the hotkey is N alone.
inline constexpr std::uint32_t DefaultKey = KeyN;
// Keys 0 to 254 can count as held; a code from 255 up never does.
inline constexpr std::uint32_t HighestKeyCode = 254;

// The timings a player sees, each the one number every test derives its
// times from: a switch needs more than SwitchSpacingMs since the previous
// one; a key whose release never comes stops counting as held HoldWindowMs
// after its latest event. A failure caused by either names it.
inline constexpr std::uint32_t SwitchSpacingMs = 300;
inline constexpr std::uint32_t HoldWindowMs = 5000;
