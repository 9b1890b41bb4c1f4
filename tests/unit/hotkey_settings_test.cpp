#include <cstdio>
#include <fstream>
#include <string>

#include "plugin_test.h"
#include "standins/native/profile.h"
#include "tests/common/working_folder.h"

namespace {

// Each test runs in a fresh folder of its own as the current directory, where
// the plugin looks for its settings file.
class HotkeySettingsTest : public PluginTest {
 protected:
  static void writeSettings(const std::string& text) {
    std::ofstream("Quillmere.ini", std::ios::binary) << text;
  }

 private:
  WorkingFolder folder_;
};

struct SettingsCase {
  const char* name;
  const char* file;  // null: no file at all
  std::uint32_t mainKey;
  std::uint32_t modifierKey;
  bool noModifier;
};

const SettingsCase settingsCases[] = {
    {"no file", nullptr, 78, NoModifier, true},
    {"empty file", "", 78, NoModifier, true},
    {"other section", "[other]\nquillmere=65\n", 78, NoModifier, true},
    {"shipped defaults", "[keys]\nquillmere_modifier=-1\nquillmere=78\n", 78, NoModifier, true},
    {"main key only", "[keys]\nquillmere=76\n", 76, NoModifier, true},
    {"modifier and main", "[keys]\nquillmere_modifier=17\nquillmere=76\n", 76, 17, false},
    {"windows line ends and blanks", "[keys]\r\n quillmere_modifier = 162 \r\nquillmere = 112\r\n",
     112, 162, false},
    {"names in other case", "[KEYS]\nQuillmere_Modifier=16\nQUILLMERE=90\n", 90, 16, false},
    {"modifier 255 kept", "[keys]\nquillmere_modifier=255\n", 78, 255, false},
    {"modifier -2 kept", "[keys]\nquillmere_modifier=-2\n", 78, 0xFFFFFFFEu, false},
    {"main key 255 kept", "[keys]\nquillmere=255\n", 255, NoModifier, true},
    {"main key 4096 kept", "[keys]\nquillmere=4096\n", 4096, NoModifier, true},
    {"modifier 0 is a key", "[keys]\nquillmere_modifier=0\n", 78, 0, false},
    {"first key wins", "[keys]\nquillmere=65\nquillmere=66\n", 65, NoModifier, true},
    {"non-numeric reads 0", "[keys]\nquillmere=N\n", 0, NoModifier, true},
    {"comment lines", "; [keys]\n# quillmere=1\n[keys]\n;quillmere=2\nquillmere=3\n", 3, NoModifier,
     true},
};

TEST_F(HotkeySettingsTest, ReadsTheSettingsFileOrFallsBackToDefaults) {
  for (const SettingsCase& c : settingsCases) {
    std::remove("Quillmere.ini");
    if (c.file != nullptr) {
      writeSettings(c.file);
    }
    hotkeySettings = {1, 2, false};
    loadHotkeySettings();
    EXPECT_EQ(hotkeySettings.mainKey, c.mainKey) << c.name;
    EXPECT_EQ(hotkeySettings.modifierKey, c.modifierKey) << c.name;
    EXPECT_EQ(hotkeySettings.noModifier, c.noModifier) << c.name;
  }
}

TEST(ProfileIntTest, ReadsAnOptionalMinusAndDigitsAsA32BitInteger) {
  const struct {
    const char* text;
    std::uint32_t value;
  } cases[] = {
      {"0", 0},
      {"78", 78},
      {"-1", 0xFFFFFFFFu},
      {"-2", 0xFFFFFFFEu},
      {"2147483647", 0x7FFFFFFFu},
      {"-2147483648", 0x80000000u},
      {"4294967295", 0xFFFFFFFFu},
      {"4294967296", 0},  // beyond 32 bits: modulo 2^32
      {"12abc", 12},
      {"", 0},
      {"-", 0},
      {"abc", 0},
      {"--1", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parseProfileInt(c.text), c.value) << '"' << c.text << '"';
  }
}

TEST(ProfileIntTest, MissingSectionOrKeyGivesTheDefaultEvenBesideBadLines) {
  const char* text = "garbage line\n[keys\n[keys]\nnoequals\nquillmere=5\n";
  EXPECT_EQ(readProfileIntFromText(text, "keys", "quillmere", 78), 5u);
  EXPECT_EQ(readProfileIntFromText(text, "keys", "quillmere_modifier", -1), 0xFFFFFFFFu);
  EXPECT_EQ(readProfileIntFromText(text, "other", "quillmere", 78), 78u);
}

}  // namespace
