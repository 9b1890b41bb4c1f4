// Arbitrary bytes as the settings file's text: reading a value never
// crashes, and without the section or the key in the text the default comes
// back.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "standins/native/profile.h"

namespace {

std::string lower(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

bool containsIgnoringCase(const std::string& text, const char* word) {
  return lower(text).find(word) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The reader takes zero-terminated text: what follows a zero byte is unseen.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::uint32_t main = readProfileIntFromText(text.c_str(), "keys", "quillmere", 78);
  const std::uint32_t modifier =
      readProfileIntFromText(text.c_str(), "keys", "quillmere_modifier", -1);
  const std::string seen = text.c_str();
  if (!containsIgnoringCase(seen, "keys") || !containsIgnoringCase(seen, "quillmere")) {
    if (main != 78 || modifier != 0xFFFFFFFFu) {
      std::abort();
    }
  }
  if (!containsIgnoringCase(seen, "quillmere_modifier") && modifier != 0xFFFFFFFFu) {
    std::abort();
  }
  return 0;
}
