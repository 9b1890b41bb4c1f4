// Arbitrary bytes as the settings file: reading a value never crashes, and
// without the section or the key in the text the default comes back.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "standins/linux/ini_reader.h"

namespace {

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  const std::uint32_t main = readProfileInt(file, "keys", "quillmere", 78);
  const std::uint32_t modifier = readProfileInt(file, "keys", "quillmere_modifier", -1);
  // A UTF-16 file spells the names with a NUL after each letter: only a file
  // of single-byte text can be searched for them as they stand.
  const bool utf16 = file.substr(0, 2) == "\xFF\xFE" || file.substr(0, 2) == "\xFE\xFF";
  if (utf16) {
    return 0;
  }
  const std::string seen = lower(file);
  const bool hasSection = seen.find("keys") != std::string::npos;
  if ((!hasSection || seen.find("quillmere") == std::string::npos) &&
      (main != 78 || modifier != 0xFFFFFFFFu)) {
    std::abort();
  }
  if (seen.find("quillmere_modifier") == std::string::npos && modifier != 0xFFFFFFFFu) {
    std::abort();
  }
  return 0;
}
