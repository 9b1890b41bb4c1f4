#include "tools/ride/script.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "tests/common/player_facts.h"
#include "tools/wine/windows_path.h"

namespace {

constexpr std::size_t QuotedMax = 40;  // characters of offending text shown
constexpr std::size_t LargestSettingsFile = 1 << 20;

// `text` for an error message: quoted, cut to a few dozen characters, with
// every byte that does not print escaped.
std::string quoted(const std::string& text) {
  std::string out = "'";
  for (std::size_t i = 0; i < text.size() && i < QuotedMax; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    }
  }
  return out + (text.size() > QuotedMax ? "'..." : "'");
}

std::string lower(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

// A whole decimal number in [low, high], or an error naming `what`.
long long wholeNumber(const std::string& word, long long low, long long high,
                      const std::string& what) {
  std::size_t used = 0;
  long long value = 0;
  try {
    value = std::stoll(word, &used, 10);
  } catch (const std::exception&) {
    used = 0;
  }
  if (word.empty() || used != word.size() || !std::isdigit(static_cast<unsigned char>(word[0])) ||
      value < low || value > high) {
    throw ScriptError(what + " must be a whole number from " + std::to_string(low) + " to " +
                      std::to_string(high) + ", not " + quoted(word));
  }
  return value;
}

struct KeyName {
  const char* name;
  std::uint32_t code;
};

constexpr KeyName NamedKeys[] = {{"Tab", 9},     {"Enter", 13},  {"Shift", 16},   {"Ctrl", 17},
                                 {"Alt", 18},    {"Space", 32},  {"LShift", 160}, {"RShift", 161},
                                 {"LCtrl", 162}, {"RCtrl", 163}, {"LAlt", 164},   {"RAlt", 165}};
constexpr const char* KeyCodePrefix = "code:";
constexpr std::uint32_t F1 = 112;  // F1 to F12 are 112 to 123

// A key as the script names it: a letter, a digit, F1 to F12, a name from
// NamedKeys, or "code:N" for any code from 0 to 254. A bare number is refused:
// "7" would be both the 7 key and code 7.
std::uint32_t keyCode(const std::string& word) {
  const std::string key = lower(word);
  if (key.size() == 1 && std::isalnum(static_cast<unsigned char>(key[0]))) {
    return static_cast<std::uint32_t>(std::toupper(static_cast<unsigned char>(key[0])));
  }
  if (key.size() >= 2 && key.size() <= 3 && key[0] == 'f' &&
      key.find_first_not_of("0123456789", 1) == std::string::npos) {
    const int f = std::atoi(key.c_str() + 1);
    if (f >= 1 && f <= 12) {
      return F1 + static_cast<std::uint32_t>(f) - 1;
    }
  }
  for (const KeyName& named : NamedKeys) {
    if (key == lower(named.name)) {
      return named.code;
    }
  }
  if (key.rfind(KeyCodePrefix, 0) == 0) {
    return static_cast<std::uint32_t>(
        wholeNumber(word.substr(std::strlen(KeyCodePrefix)), 0, HighestKeyCode, "a key code"));
  }
  throw ScriptError(quoted(word) +
                    " is not a key: a letter, a digit, F1-F12, Shift, Ctrl, Alt, ..., or a key "
                    "code as code:78");
}

NeonColour colourOf(const std::string& word) {
  std::vector<std::string> parts;
  std::stringstream in(word);
  for (std::string part; std::getline(in, part, ',');) {
    parts.push_back(part);
  }
  if (parts.size() != 3) {
    throw ScriptError("a colour is R,G,B (three numbers from 0 to 255), not " + quoted(word));
  }
  return {static_cast<std::int32_t>(wholeNumber(parts[0], 0, 255, "red")),
          static_cast<std::int32_t>(wholeNumber(parts[1], 0, 255, "green")),
          static_cast<std::int32_t>(wholeNumber(parts[2], 0, 255, "blue"))};
}

// One line of the script, split: the verb as written, its words, and the
// text after the verb as written.
struct ScriptLine {
  std::string verb;               // as written
  std::vector<std::string> args;  // the words after it
  std::string rest;               // the text after it, blanks at both ends dropped
};

// What parsing keeps from line to line, to refuse impossible moves.
struct ParseState {
  std::string folder;                          // the script's folder, for relative paths
  std::uint32_t elapsedMs = 0;                 // the waits so far: at most LongestRideMs
  int occupied = 0;                            // the vehicle the player sits in, 0 on foot
  bool coloured[StandinMaxVehicles + 1] = {};  // vehicles that have appeared with a colour
};

struct Verb {
  const char* name;   // as the script writes it, in any letter case
  const char* usage;  // what follows the name
  std::size_t fewestArgs, mostArgs;
  Step (*parse)(const ScriptLine&, ParseState&);
};

Step parseNote(const ScriptLine& line, ParseState&) { return NoteStep{printable(line.rest)}; }

// The settings file's [keys], each NAME=VALUE as written, whatever it is (the
// plugin reads any text; see Quillmere.ini).
Step parseSettings(const ScriptLine& line, ParseState&) {
  SettingsStep step{std::string("[") + IniSection + "]\r\n", ""};
  for (const std::string& arg : line.args) {
    const std::size_t equals = arg.find('=');
    if (equals == 0 || equals == std::string::npos) {
      throw ScriptError("settings take NAME=VALUE, such as " + std::string(IniMainKey) + "=" +
                        std::to_string(DefaultKey) + ", not " + quoted(arg));
    }
    step.iniText += arg + "\r\n";
    step.shown += (step.shown.empty() ? "" : " ") + printable(arg);
  }
  if (step.shown.empty()) {
    step.shown = std::string("[") + IniSection + "] and no key";
  }
  return step;
}

Step parseSettingsFile(const ScriptLine& line, ParseState& state) {
  const std::string& written = line.args[0];
  const bool absolute = written[0] == '/' || (written.size() > 1 && written[1] == ':');
  const std::string path = absolute ? written : state.folder + written;
  try {
    return SettingsStep{readPlainFile(path, LargestSettingsFile), "a copy of " + printable(path)};
  } catch (const ScriptError& why) {
    throw ScriptError("cannot read the settings file " + quoted(path) + ": " + why.what());
  }
}

BoardStep boarding(const ScriptLine& line, ParseState& state, bool fromAnother) {
  BoardStep step{
      static_cast<int>(wholeNumber(line.args[0], 1, StandinMaxVehicles, "a vehicle number")),
      fromAnother, std::nullopt};
  if (line.args.size() == 2) {
    step.colour = colourOf(line.args[1]);
  } else if (!state.coloured[step.vehicle]) {
    throw ScriptError("vehicle " + std::to_string(step.vehicle) +
                      " is new: give its neon colour as R,G,B");
  }
  if (!step.fromAnother && state.occupied != 0) {
    throw ScriptError("the player already sits in vehicle " + std::to_string(state.occupied) +
                      ": get-out first, or move-into");
  }
  if (step.fromAnother && state.occupied == 0) {
    throw ScriptError("the player is on foot: get-in first");
  }
  if (state.occupied == step.vehicle) {
    throw ScriptError("the player already sits in vehicle " + std::to_string(state.occupied));
  }
  state.coloured[step.vehicle] = true;
  state.occupied = step.vehicle;
  return step;
}

Step parseGetIn(const ScriptLine& line, ParseState& state) { return boarding(line, state, false); }
Step parseMoveInto(const ScriptLine& line, ParseState& state) {
  return boarding(line, state, true);
}

Step parseGetOut(const ScriptLine&, ParseState& state) {
  if (state.occupied == 0) {
    throw ScriptError("the player is on foot already");
  }
  state.occupied = 0;
  return GetOutStep{};
}

Step parseKeyDown(const ScriptLine& line, ParseState&) {
  return KeyStep{keyCode(line.args[0]), true};
}
Step parseKeyUp(const ScriptLine& line, ParseState&) {
  return KeyStep{keyCode(line.args[0]), false};
}

Step parseWait(const ScriptLine& line, ParseState& state) {
  const auto milliseconds =
      static_cast<std::uint32_t>(wholeNumber(line.args[0], 1, LongestRideMs, "a wait"));
  if (milliseconds > LongestRideMs - state.elapsedMs) {
    throw ScriptError("the ride would last more than a day (" + std::to_string(LongestRideMs) +
                      " ms) here, after " + std::to_string(state.elapsedMs) + " ms");
  }
  state.elapsedMs += milliseconds;
  return WaitStep{milliseconds};
}

Step parseRestart(const ScriptLine&, ParseState&) { return RestartStep{}; }

// Every step a script may take, one row each.
constexpr std::size_t Any = 1000;
constexpr Verb Verbs[] = {
    {"note", "TEXT", 0, Any, parseNote},
    {"settings", "[NAME=VALUE...]", 0, Any, parseSettings},
    {"settings-file", "PATH", 1, 1, parseSettingsFile},
    {"get-in", "VEHICLE [R,G,B]", 1, 2, parseGetIn},
    {"move-into", "VEHICLE [R,G,B]", 1, 2, parseMoveInto},
    {"get-out", "", 0, 0, parseGetOut},
    {"key-down", "KEY", 1, 1, parseKeyDown},
    {"key-up", "KEY", 1, 1, parseKeyUp},
    {"wait", "MILLISECONDS", 1, 1, parseWait},
    {"restart", "", 0, 0, parseRestart},
};

ScriptLine split(const std::string& text) {
  ScriptLine line;
  const std::string content = text.substr(0, text.find('#'));
  std::istringstream words(content);
  words >> line.verb;
  for (std::string word; words >> word;) {
    line.args.push_back(word);
  }
  const std::size_t verbEnd = content.find_first_of(" \t", content.find_first_not_of(" \t"));
  const std::size_t restStart = content.find_first_not_of(" \t", verbEnd);
  if (restStart != std::string::npos) {
    line.rest = content.substr(restStart);
    line.rest.erase(line.rest.find_last_not_of(" \t") + 1);
  }
  return line;
}

Step parseLine(const ScriptLine& line, ParseState& state) {
  const std::string verbName = lower(line.verb);
  for (const Verb& verb : Verbs) {
    if (verbName != verb.name) {
      continue;
    }
    if (line.args.size() < verb.fewestArgs || line.args.size() > verb.mostArgs) {
      throw ScriptError(std::string("usage: ") + verb.name + (*verb.usage != 0 ? " " : "") +
                        verb.usage);
    }
    return verb.parse(line, state);
  }
  std::string known;
  for (const Verb& verb : Verbs) {
    known += (known.empty() ? "" : ", ") + std::string(verb.name);
  }
  throw ScriptError("unknown step " + quoted(line.verb) + " (known: " + known + ")");
}

}  // namespace

// The bytes are taken as they are (binary: a Ctrl-Z is a byte like any
// other), a UTF-8 byte-order mark is skipped, and lines end in LF or CRLF.
std::vector<Step> parseRide(const std::string& fileName, const std::string& folder,
                            const std::string& bytes) {
  std::istringstream in(bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? bytes.substr(3) : bytes);
  std::vector<Step> steps;
  ParseState state;
  state.folder = folder;
  int lineNumber = 0;
  for (std::string text; std::getline(in, text);) {
    ++lineNumber;
    if (!text.empty() && text.back() == '\r') {
      text.pop_back();
    }
    const ScriptLine line = split(text);
    if (line.verb.empty()) {
      continue;
    }
    try {
      steps.push_back(parseLine(line, state));
    } catch (const ScriptError& error) {
      throw ScriptError(fileName + ":" + std::to_string(lineNumber) + ": " + error.what());
    }
  }
  if (steps.empty()) {
    throw ScriptError(fileName + ":" + std::to_string(lineNumber == 0 ? 1 : lineNumber) +
                      ": nothing to play (no steps, only blank lines and comments)");
  }
  return steps;
}

std::string keyName(std::uint32_t code) {
  const std::string number = " (" + std::to_string(code) + ")";
  if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9')) {
    return std::string(1, static_cast<char>(code)) + number;
  }
  if (code >= F1 && code < F1 + 12) {
    return "F" + std::to_string(code - F1 + 1) + number;
  }
  for (const KeyName& named : NamedKeys) {
    if (named.code == code) {
      return named.name + number;
    }
  }
  return "key " + std::to_string(code);
}

std::string printable(const std::string& text) {
  constexpr const char* Replacement = "\xEF\xBF\xBD";  // U+FFFD
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x20 || lead == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", lead);
      out += escape;
      ++i;
      continue;
    }
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++i;
      continue;
    }
    // A lead byte says how long the character is and the least it may code.
    const std::size_t length = (lead & 0xE0) == 0xC0   ? 2
                               : (lead & 0xF0) == 0xE0 ? 3
                               : (lead & 0xF8) == 0xF0 ? 4
                                                       : 0;
    const std::uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    std::uint32_t code = lead & (0x7F >> length);
    bool whole = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; whole && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      whole = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    // Not overlong, not a surrogate, within Unicode, and a character XML allows.
    if (whole && code >= least && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF) &&
        code != 0xFFFE && code != 0xFFFF) {
      out.append(text, i, length);
      i += length;
    } else {
      out += Replacement;
      ++i;
    }
  }
  return out;
}

std::string lastName(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool isDeviceName(const std::string& path) {
  std::string name = lastName(path);
  name = name.substr(0, name.find(':'));
  name = name.substr(0, name.find('.'));
  name.erase(name.find_last_not_of(' ') + 1);
  name = lower(name);
  if (name == "con" || name == "prn" || name == "aux" || name == "nul" || name == "conin$" ||
      name == "conout$") {
    return true;
  }
  // COM and LPT with a digit from 1 to 9, or a superscript one, two or three.
  const std::string port = name.substr(0, 3);
  const std::string number = name.size() > 3 ? name.substr(3) : "";
  return (port == "com" || port == "lpt") &&
         ((number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xC2\xB9" ||
          number == "\xC2\xB2" || number == "\xC2\xB3");
}

void refuseDeviceName(const std::string& path) {
  if (isDeviceName(path)) {
    const std::string name = lastName(path);
    throw ScriptError(quoted(name.substr(0, name.find_first_of(".:"))) +
                      " is a Windows device name, which Windows would open instead of a file");
  }
}

namespace {

// A letter Windows reads otherwise than Linux in a name: a separator, a
// wildcard, a quote or a bar it does not allow, a drive's or a stream's
// colon, a control character.
bool windowsReadsOtherwise(char letter) {
  const auto c = static_cast<unsigned char>(letter);
  return c < 0x20 || c == 0x7F || std::strchr("\\*?\"<>|:", c) != nullptr;
}

// An absolute Linux path as Windows reads it: "." and empty names dropped,
// each ".." taking away the name before it.
std::string lexicallyNormal(const std::string& path) {
  std::vector<std::string> names;
  std::istringstream in(path);
  for (std::string name; std::getline(in, name, '/');) {
    if (name == "..") {
      if (!names.empty()) {
        names.pop_back();
      }
    } else if (!name.empty() && name != ".") {
      names.push_back(name);
    }
  }
  std::string out;
  for (const std::string& name : names) {
    out += "/" + name;
  }
  return out.empty() ? "/" : out;
}

// A Linux path is read under Wine, which would open another file for some
// names: those are refused, never read. A Windows path (run on Windows, or a
// drive named) is read as Windows reads it.
void refuseMisreadName(const std::string& path) {
  if (path.empty() || path[0] != '/') {
    return;
  }
  const auto odd = std::find_if(path.begin(), path.end(), windowsReadsOtherwise);
  if (odd != path.end()) {
    throw ScriptError("its name holds " +
                      (*odd == '\\' ? std::string("a backslash") : quoted(std::string(1, *odd))) +
                      ", which Windows reads otherwise than Linux");
  }
  std::string opened = linuxPathWineOpens(path);
  if (opened.size() > 1 && opened.back() == '/') {
    opened.pop_back();
  }
  if (!opened.empty() && opened != lexicallyNormal(path)) {
    throw ScriptError("Wine would open " + printable(opened) +
                      " instead (Windows ignores letters' case, and dots and spaces at a name's "
                      "end)");
  }
}

}  // namespace

std::string readPlainFile(const std::string& path, std::size_t most) {
  refuseDeviceName(path);
  refuseMisreadName(path);
  const std::wstring name = wideText(windowsPath(path));
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    throw ScriptError("it is a folder, not a file");
  }
  HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    throw ScriptError("no file of that name can be read");
  }
  std::string bytes;
  std::string refused;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    refused = "it is not a plain file (a device or a pipe)";
  } else {
    char chunk[65536];
    DWORD got = 0;
    while (bytes.size() <= most && ReadFile(file, chunk, sizeof chunk, &got, nullptr) != 0 &&
           got != 0) {
      bytes.append(chunk, got);
    }
    if (bytes.size() > most) {
      refused = "it is over " + std::to_string(most) + " bytes long";
    }
  }
  CloseHandle(file);
  if (!refused.empty()) {
    throw ScriptError(refused);
  }
  return bytes;
}
