// What a player reads, against the player's facts, whatever the words around
// the numbers: every timing that Quillmere.txt and Quillmere.ini state in
// their own words (a number before "ms" or "seconds"; those the build takes
// from the plugin's constants are the plugin's) is one of
// tests/common/player_facts.h,
// and every settings line Quillmere.txt shows is one the shipped
// Quillmere.ini holds (whose own values the end-to-end tests check against
// the facts, reading it as KERNEL32 does).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "tests/common/player_facts.h"

namespace {

std::string packageFile(const std::string& name) {
  std::ifstream in(std::string(QUILLMERE_PACKAGE_DIR) + "/" + name, std::ios::binary);
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
  const std::regex timing(R"((\d+(?:\.\d+)?)\s*(ms|milliseconds?|seconds?)\b)");
  for (const char* file : {"Quillmere.txt.in", "Quillmere.ini"}) {
    const std::string text = packageFile(file);
    ASSERT_FALSE(text.empty()) << file;
    for (std::sregex_iterator said(text.begin(), text.end(), timing), end; said != end; ++said) {
      const double value = std::stod((*said)[1]);
      const double ms = (*said)[2].str()[0] == 's' ? value * 1000 : value;
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
  std::istringstream text(packageFile("Quillmere.txt.in"));
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
