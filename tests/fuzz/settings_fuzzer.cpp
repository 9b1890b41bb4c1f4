// From the settings file to the hotkey: a file made of arbitrary noise in a
// section of its own, then a "keys" section with either key or none, each an
// arbitrary 32-bit value written as decimal. Loading it gives exactly those
// values, the defaults for what is missing, and no modifier exactly for -1;
// a main key outside the key table is never held.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/platform.h"
#include "input/hotkey_settings.h"
#include "input/key_state.h"
#include "tests/common/player_facts.h"

namespace {
char folder[] = "/tmp/quillmere-fuzz-XXXXXX";
std::string settingsPath;  // Quillmere.ini in that folder
std::string startFolder;   // the current directory libFuzzer was started in

void removeFolder() {
  std::remove(settingsPath.c_str());
  rmdir(folder);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char here[4096];
  if (mkdtemp(folder) == nullptr || getcwd(here, sizeof here) == nullptr) {
    std::abort();
  }
  settingsPath = std::string(folder) + "/" + IniFileName;
  startFolder = here;
  std::atexit(removeFolder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool hasModifier = input.ConsumeBool();
  const bool hasMain = input.ConsumeBool();
  const std::int32_t modifier = input.ConsumeIntegral<std::int32_t>();
  const std::int32_t main = input.ConsumeIntegral<std::int32_t>();
  const bool windowsLineEnds = input.ConsumeBool();
  std::string noise = input.ConsumeRemainingBytesAsString();
  // Noise may say anything but open a section.
  std::string kept;
  for (char c : noise) {
    if (c != '[') {
      kept += c;
    }
  }
  const char* end = windowsLineEnds ? "\r\n" : "\n";
  std::string file = std::string("[noise]") + end + kept + end + "[" + IniSection + "]" + end;
  if (hasModifier) {
    file += std::string(IniModifierKey) + "=" + std::to_string(modifier) + end;
  }
  if (hasMain) {
    file += std::string(IniMainKey) + "=" + std::to_string(main) + end;
  }
  FILE* out = std::fopen(settingsPath.c_str(), "wb");
  if (out == nullptr) {
    std::abort();
  }
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);

  // The plugin reads .\Quillmere.ini, so only the read itself runs in the
  // folder: libFuzzer keeps its corpus and artifacts relative to where it
  // was started.
  if (chdir(folder) != 0) {
    std::abort();
  }
  loadHotkeySettings();
  if (chdir(startFolder.c_str()) != 0) {
    std::abort();
  }
  // The defaults as the player's guide gives them: N (78) and -1 (no modifier).
  const std::uint32_t wantMain = hasMain ? static_cast<std::uint32_t>(main) : KeyN;
  const std::uint32_t wantModifier = hasModifier ? static_cast<std::uint32_t>(modifier) : Minus1;
  if (hotkeySettings.mainKey != wantMain || hotkeySettings.modifierKey != wantModifier ||
      hotkeySettings.noModifier != (wantModifier == Minus1)) {
    std::fprintf(stderr, "settings file:\n%s\nread main %u modifier %u\n", file.c_str(),
                 hotkeySettings.mainKey, hotkeySettings.modifierKey);
    std::abort();
  }
  handleKeyEvent(hotkeySettings.mainKey, 1, 0, 0, 0, 0, 0);
  if (hotkeySettings.mainKey >= 255 && isKeyHeld(hotkeySettings.mainKey)) {  // no record
    std::abort();
  }
  return 0;
}
