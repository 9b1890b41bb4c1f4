#include <cstdio>
#include <fstream>
#include <string>

#include "plugin_test.h"
#include "tests/common/working_folder.h"

namespace {

// Each test runs in a fresh folder of its own as the current directory, where
// the plugin looks for its settings file.
class HotkeySettingsTest : public PluginTest {
 protected:
  static void writeSettings(const std::string& text) {
    std::ofstream(IniFileName, std::ios::binary) << text;
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

// How the file's text reads is the INI table's business (tests/ini_reader);
// these are what the plugin makes of the values.
const SettingsCase settingsCases[] = {
    {"no file", nullptr, 78, Minus1, true},
    {"shipped defaults", "[keys]\nquillmere_modifier=-1\nquillmere=78\n", 78, Minus1, true},
    {"main key only", "[keys]\nquillmere=76\n", 76, Minus1, true},
    {"modifier and main", "[keys]\nquillmere_modifier=17\nquillmere=76\n", 76, 17, false},
    {"modifier 255 kept", "[keys]\nquillmere_modifier=255\n", 78, 255, false},
    {"modifier -2 kept", "[keys]\nquillmere_modifier=-2\n", 78, 0xFFFFFFFEu, false},
    {"modifier 0xFFFFFFFF is none", "[keys]\nquillmere_modifier=4294967295\n", 78, Minus1, true},
    {"main key 4096 kept", "[keys]\nquillmere=4096\n", 4096, Minus1, true},
    {"modifier 0 is a key", "[keys]\nquillmere_modifier=0\n", 78, 0, false},
};

TEST_F(HotkeySettingsTest, ReadsTheSettingsFileOrFallsBackToDefaults) {
  for (const SettingsCase& c : settingsCases) {
    std::remove(IniFileName);
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

}  // namespace
