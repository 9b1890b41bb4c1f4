// The settings file a player leaves in the game's folder, as the Linux
// build's stand-in holds it: the keys under [keys], each with the integer
// its value reads as (how text reads is tested under Wine, where KERNEL32
// reads it).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "standins/linux/standins.h"
#include "tests/common/player_facts.h"

// A key of the file, and what its value reads as: -1 as Minus1.
using SettingsLine = std::pair<const char*, std::uint32_t>;

// Quillmere.ini in the current folder, holding `lines` and nothing else; no
// lines: an empty file.
inline void writeSettingsFile(const std::vector<SettingsLine>& lines) {
  StandinSettingsFile& file = standinSettings;
  file.name = IniFileName;
  file.count = 0;
  for (const auto& [key, value] : lines) {
    if (file.count == StandinMaxSettings) {
      std::abort();
    }
    file.rows[file.count++] = {IniSection, key, value};
  }
}
