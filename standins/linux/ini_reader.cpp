#include "standins/linux/ini_reader.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "host/platform.h"
#include "standins/linux/standins.h"

StandinProfile standinProfile;

namespace {

using Text = std::u16string;
using TextView = std::u16string_view;

// KERNEL32 copies a value into 30 characters, the last for the terminator.
constexpr std::size_t ValueBufferSize = 30;

// Every character that is not ASCII stands as this one: it is never a blank,
// a digit or punctuation, and matches no ASCII name.
constexpr char16_t NonAscii = 0xFFFD;

Text fromUtf16(std::string_view bytes, bool bigEndian) {
  Text text;
  for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
    const auto first = static_cast<unsigned char>(bytes[at]);
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    text += static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  }
  return text;
}

// UTF-8, as far as reading needs it: a lead byte and the continuation bytes
// that follow it are one non-ASCII character, and so is a stray byte; an
// ASCII byte is always itself.
Text fromUtf8(std::string_view bytes) {
  Text text;
  for (std::size_t at = 0; at < bytes.size();) {
    const auto unit = static_cast<unsigned char>(bytes[at]);
    if (unit < 0x80) {
      text += static_cast<char16_t>(unit);
      ++at;
      continue;
    }
    const std::size_t length = unit >= 0xF0 ? 4 : unit >= 0xE0 ? 3 : unit >= 0xC0 ? 2 : 1;
    std::size_t taken = 1;
    while (taken < length && at + taken < bytes.size() &&
           (static_cast<unsigned char>(bytes[at + taken]) & 0xC0) == 0x80) {
      ++taken;
    }
    text += NonAscii;
    at += taken;
  }
  return text;
}

Text fromAnsi(std::string_view bytes) {
  Text text;
  for (char byte : bytes) {
    const auto unit = static_cast<unsigned char>(byte);
    text += unit < 0x80 ? static_cast<char16_t>(unit) : NonAscii;
  }
  return text;
}

Text decode(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    return fromUtf8(bytes.substr(3));
  }
  if (bytes.substr(0, 2) == "\xFF\xFE") {
    return fromUtf16(bytes.substr(2), false);
  }
  if (bytes.substr(0, 2) == "\xFE\xFF") {
    return fromUtf16(bytes.substr(2), true);
  }
  return fromAnsi(bytes);
}

bool isBlank(char16_t c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A;
}

TextView trimmed(TextView text) {
  while (!text.empty() && isBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && isBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

TextView uptoNul(TextView text) { return text.substr(0, text.find(u'\0')); }

char16_t asciiLower(char16_t c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

bool sameName(TextView name, std::string_view wanted) {
  name = uptoNul(name);
  if (name.size() != wanted.size()) {
    return false;
  }
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (asciiLower(name[i]) != asciiLower(static_cast<unsigned char>(wanted[i]))) {
      return false;
    }
  }
  return true;
}

// The value of `key` in the first section named `section`: empty for a key
// without '=', nothing for a key or section that is not there.
std::optional<TextView> findValue(TextView text, std::string_view section, std::string_view key) {
  bool inSection = sameName(u"", section);  // lines before any section header
  while (!text.empty()) {
    const std::size_t end = text.find_first_of(u"\r\n");
    const TextView line = trimmed(text.substr(0, end));
    text.remove_prefix(end == TextView::npos ? text.size() : end + 1);
    if (line.empty()) {
      continue;
    }
    const std::size_t close = line.rfind(u']');
    if (line.front() == '[' && close != TextView::npos) {
      if (inSection) {
        // The first section of the name ended without the key: later ones
        // of the same name are not searched.
        return std::nullopt;
      }
      inSection = sameName(trimmed(line.substr(1, close - 1)), section);
      continue;
    }
    if (!inSection) {
      continue;
    }
    const std::size_t equals = line.find(u'=');
    if (sameName(trimmed(line.substr(0, equals)), key)) {
      return equals == TextView::npos ? TextView() : trimmed(line.substr(equals + 1));
    }
  }
  return std::nullopt;
}

// The value as KERNEL32 hands it on: cut at a NUL, a pair of matching quotes
// dropped, cut to the buffer (the closing quote goes only when the rest fit,
// which can take off a digit instead: KERNEL32's way, kept).
Text asCopied(TextView value) {
  value = uptoNul(value);
  const bool quoted = !value.empty() && (value.front() == '"' || value.front() == '\'') &&
                      value.size() >= 2 && value.back() == value.front();
  if (quoted) {
    value.remove_prefix(1);
  }
  Text copied(value.substr(0, ValueBufferSize - 1));
  if (quoted && ValueBufferSize >= value.size()) {
    copied.pop_back();
  }
  return copied;
}

// What digitValue gives a character that is no digit: more than any base.
constexpr int NotADigit = 36;

int digitValue(char16_t c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'z') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'Z') {
    return c - 'A' + 10;
  }
  return NotADigit;
}

std::uint32_t toInteger(TextView text) {
  std::size_t at = 0;
  while (at < text.size() && text[at] <= ' ') {
    ++at;
  }
  const bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
    ++at;
  }
  std::uint32_t base = 10;
  if (at + 1 < text.size() && text[at] == '0') {
    const char16_t prefix = text[at + 1];
    base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
    at += base == 10 ? 0 : 2;
  }
  std::uint32_t value = 0;
  for (; at < text.size() && digitValue(text[at]) < static_cast<int>(base); ++at) {
    value = value * base + static_cast<std::uint32_t>(digitValue(text[at]));
  }
  return negative ? 0u - value : value;
}

}  // namespace

std::uint32_t readProfileInt(std::string_view file, const char* section, const char* key,
                             std::int32_t defaultValue) {
  const Text text = decode(file);
  const std::optional<TextView> value = findValue(text, section, key);
  const Text copied = value ? asCopied(*value) : Text();
  return copied.empty() ? static_cast<std::uint32_t>(defaultValue) : toInteger(copied);
}

extern "C" std::uint32_t GetPrivateProfileIntA(const char* section, const char* key,
                                               std::int32_t defaultValue, const char* fileName) {
  standinProfile.calls.fetch_add(1, std::memory_order_relaxed);
  // The plugin names its file the Windows way (".\\Quillmere.ini").
  // A file that cannot be read, or a folder of that name, reads as empty: the
  // default.
  std::string path(fileName);
  std::replace(path.begin(), path.end(), '\\', '/');
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return readProfileInt(bytes, section, key, defaultValue);
}
