// What a player reads, against the player's facts, whatever the words around
// the numbers: every timing Quillmere.txt and Quillmere.ini state (a number
// before "ms" or "seconds") is one of tests/common/player_facts.h, and every
// settings line Quillmere.txt shows is one the shipped Quillmere.ini holds
// (whose own values the end-to-end tests check against the facts, reading
// it as KERNEL32 does). The Linux build reads the files the package is made
// from, where the build writes some timings in (@NAME@); the Windows build
// reads the package as it ships, where every timing is a number.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "tests/common/player_facts.h"

namespace {

std::string packageFile(const std::string& name) {
  const std::string folder = QUILLMERE_PACKAGE_DIR;  // UTF-8, whatever the code page
  std::ifstream in(std::filesystem::path(std::u8string(folder.begin(), folder.end())) / name,
                   std::ios::binary);
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::erase(text, '\r');
  return text;
}

TEST(PlayerText, EveryTimingItStatesIsAPlayerFact) {
  const struct {
    const char* name;
    std::uint32_t ms;
  } facts[] = {{"SwitchSpacingMs", SwitchSpacingMs}, {"HoldWindowMs", HoldWindowMs}};
  std::ostringstream known;
  for (const auto& fact : facts) {
    known << (known.tellp() > 0 ? " nor " : "") << fact.name << " (" << fact.ms << " ms)";
  }
  // The word before each unit: a number, or where the build writes one in.
  const std::regex timing(R"((\S*?)\s*\b(ms|milliseconds?|seconds?)\b)");
  const std::regex number(R"(\d+(\.\d+)?)");
  for (const char* file : {QUILLMERE_PLAYER_TEXT, "Quillmere.ini"}) {
    const std::string text = packageFile(file);
    ASSERT_FALSE(text.empty()) << file;
    for (std::sregex_iterator said(text.begin(), text.end(), timing), end; said != end; ++said) {
      const std::string value = (*said)[1];
      if (std::string(file).ends_with(".in") && std::regex_match(value, std::regex("@\\w+@"))) {
        continue;
      }
      const double ms = !std::regex_match(value, number) ? -1
                        : (*said)[2].str()[0] == 's'     ? std::stod(value) * 1000
                                                         : std::stod(value);
      bool isFact = false;
      for (const auto& fact : facts) {
        isFact = isFact || ms == fact.ms;
      }
      EXPECT_TRUE(isFact) << file << " says \"" << said->str() << "\", which is neither "
                          << known.str() << " of tests/common/player_facts.h";
    }
  }
}

TEST(PlayerText, TheSettingsLinesItShowsAreTheShippedFilesOwn) {
  std::set<std::string> shipped;
  std::istringstream ini(packageFile("Quillmere.ini"));
  for (std::string line; std::getline(ini, line);) {
    shipped.insert(line);
  }
  const std::regex setting(R"(\s*(\w+=-?\d+)\s*)");
  std::istringstream text(packageFile(QUILLMERE_PLAYER_TEXT));
  int shown = 0;
  for (std::string line; std::getline(text, line);) {
    std::smatch found;
    if (std::regex_match(line, found, setting)) {
      ++shown;
      EXPECT_EQ(shipped.count(found[1]), 1u)
          << "Quillmere.txt shows " << found[1] << ", which Quillmere.ini does not hold";
    }
  }
  EXPECT_GT(shown, 0) << "Quillmere.txt shows no settings line";
}

}  // namespace
