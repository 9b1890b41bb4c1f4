// The player's side of the plugin, written out once for every test, the
// benchmark and the ride: the settings file as a player writes it (its name,
// section, keys and defaults), the key codes Windows gives the keys the tests
// press, and the timings a player sees. Never taken from the plugin's own
// constants: a check that borrowed the plugin's value could not catch a
// wrong one. Free of GoogleTest, so the ride tool shares it.
#pragma once

#include <cstdint>

// The settings file, in the game's folder, and what it holds.
inline constexpr const char* IniFileName = "Quillmere.ini";
inline constexpr const char* IniSection = "keys";
inline constexpr const char* IniMainKey = "quillmere";
inline constexpr const char* IniModifierKey = "quillmere_modifier";
// A modifier of -1, read into 32 bits: no modifier, also the default.
inline constexpr std::uint32_t Minus1 = 0xFFFFFFFF;

// Key codes as Windows gives them; N is the default main key.
inline constexpr std::uint32_t KeyN = 78;
inline constexpr std::uint32_t KeyL = 76;
inline constexpr std::uint32_t KeyCtrl = 17;
// Keys 0 to 254 can count as held; a code from 255 up never does.
inline constexpr std::uint32_t HighestKeyCode = 254;

// A switch needs more than 300 ms since the previous one; a key whose
// release never comes stops counting as held 5000 ms after its latest event.
inline constexpr std::uint32_t SwitchSpacingMs = 300;
inline constexpr std::uint32_t HoldWindowMs = 5000;
