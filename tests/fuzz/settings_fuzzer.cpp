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

namespace {
char folder[] = "/tmp/quillmere-fuzz-XXXXXX";

void removeFolder() {
  std::remove((std::string(folder) + "/Quillmere.ini").c_str());
  rmdir(folder);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The plugin reads .\Quillmere.ini: work in a folder of our own.
  if (mkdtemp(folder) == nullptr || chdir(folder) != 0) {
    std::abort();
  }
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
  // Noise may say anything but open a section or end the file early.
  std::string kept;
  for (char c : noise) {
    if (c != '[' && c != '\0') {
      kept += c;
    }
  }
  const char* end = windowsLineEnds ? "\r\n" : "\n";
  std::string file = std::string("[noise]") + end + kept + end + "[keys]" + end;
  if (hasModifier) {
    file += "quillmere_modifier=" + std::to_string(modifier) + end;
  }
  if (hasMain) {
    file += "quillmere=" + std::to_string(main) + end;
  }
  FILE* out = std::fopen("Quillmere.ini", "wb");
  if (out == nullptr) {
    std::abort();
  }
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);

  loadHotkeySettings();
  const std::uint32_t wantMain = hasMain ? static_cast<std::uint32_t>(main) : DefaultMainKey;
  const std::uint32_t wantModifier =
      hasModifier ? static_cast<std::uint32_t>(modifier) : NoModifier;
  if (hotkeySettings.mainKey != wantMain || hotkeySettings.modifierKey != wantModifier ||
      hotkeySettings.noModifier != (wantModifier == NoModifier)) {
    std::fprintf(stderr, "settings file:\n%s\nread main %u modifier %u\n", file.c_str(),
                 hotkeySettings.mainKey, hotkeySettings.modifierKey);
    std::abort();
  }
  handleKeyEvent(hotkeySettings.mainKey, 1, 0, 0, 0, 0, 0);
  if (hotkeySettings.mainKey >= KeyTableSize && isKeyHeld(hotkeySettings.mainKey)) {
    std::abort();
  }
  return 0;
}
