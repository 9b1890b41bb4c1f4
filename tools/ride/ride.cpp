// The ride simulator: plays a ride script against the shipped plugin, loaded
// through the stand-in host, and prints what happens in a form a person can
// follow: what the player did, what the plugin saw, and every vehicle's neon
// colour.
//
// Usage: ride.exe [--swatches] PLUGIN RIDE
//   PLUGIN   the plugin to load (dist/Quillmere.asi)
//   RIDE     the ride script; see default.ride for the steps it knows
//   --swatches  draws each colour as a 24-bit colour swatch too
//
// A script with an error stops before anything is played, with one line on
// standard error, "file:line: what is wrong", and exit status 2.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "standins/scripthookv_dll/scripthookv_dll.h"

namespace {

constexpr std::uint32_t FrameMs = 16;           // about 60 frames a second
constexpr std::uint32_t StartTick = 5'000'000;  // an ordinary tick, far from the wrap
constexpr GameHandle PlayerCharacter = 0x100;
constexpr GameHandle VehicleHandleBase = 0x1000;  // vehicle N is handle base + N
constexpr std::uint32_t HighestKeyCode = 254;     // the key table's last entry
constexpr std::size_t QuotedMax = 40;             // characters of offending text shown

enum class Kind {
  Note,
  Settings,
  SettingsFile,
  GetIn,
  MoveInto,
  GetOut,
  KeyDown,
  KeyUp,
  Wait,
  Restart
};

struct Step {
  Kind kind;
  int line;                 // where it stands in the script
  std::string text;         // Note: the text; Settings: the INI text; SettingsFile: the path
  int vehicle = 0;          // GetIn, MoveInto: the vehicle's number
  bool hasColour = false;   // GetIn, MoveInto: a colour was given
  NeonColour colour{};      // ... and that colour
  std::uint32_t value = 0;  // KeyDown, KeyUp: the key code; Wait: milliseconds
};

struct ScriptError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// --- Reading the script.

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
long long number(const std::string& word, long long low, long long high, const std::string& what) {
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

// A key as the script names it: a letter, a digit, F1 to F12, a name from
// NamedKeys, or "code:N" for any code from 0 to 254. A bare number is refused:
// "7" would be both the 7 key and code 7.
std::uint32_t keyCode(const std::string& word) {
  const std::string key = lower(word);
  if (key.size() == 1 && std::isalnum(static_cast<unsigned char>(key[0]))) {
    return static_cast<std::uint32_t>(std::toupper(static_cast<unsigned char>(key[0])));
  }
  if (key.size() >= 2 && key[0] == 'f' &&
      key.find_first_not_of("0123456789", 1) == std::string::npos && key.size() <= 3) {
    const int f = std::atoi(key.c_str() + 1);
    if (f >= 1 && f <= 12) {
      return static_cast<std::uint32_t>(111 + f);
    }
  }
  for (const KeyName& named : NamedKeys) {
    if (key == lower(named.name)) {
      return named.code;
    }
  }
  if (key.rfind(KeyCodePrefix, 0) == 0) {
    return static_cast<std::uint32_t>(
        number(word.substr(std::strlen(KeyCodePrefix)), 0, HighestKeyCode, "a key code"));
  }
  throw ScriptError(quoted(word) +
                    " is not a key: a letter, a digit, F1-F12, Shift, Ctrl, Alt, ..., or a key "
                    "code as code:78");
}

std::string keyName(std::uint32_t code) {
  if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9')) {
    return std::string(1, static_cast<char>(code)) + " (" + std::to_string(code) + ")";
  }
  if (code >= 112 && code <= 123) {
    return "F" + std::to_string(code - 111) + " (" + std::to_string(code) + ")";
  }
  for (const KeyName& named : NamedKeys) {
    if (named.code == code) {
      return std::string(named.name) + " (" + std::to_string(code) + ")";
    }
  }
  return "key " + std::to_string(code);
}

NeonColour colour(const std::string& word) {
  std::vector<std::string> parts;
  std::stringstream in(word);
  for (std::string part; std::getline(in, part, ',');) {
    parts.push_back(part);
  }
  if (parts.size() != 3) {
    throw ScriptError("a colour is R,G,B (three numbers from 0 to 255), not " + quoted(word));
  }
  return {static_cast<std::int32_t>(number(parts[0], 0, 255, "red")),
          static_cast<std::int32_t>(number(parts[1], 0, 255, "green")),
          static_cast<std::int32_t>(number(parts[2], 0, 255, "blue"))};
}

// A Unix path as Wine names it (the Unix root is drive Z:); others as they are.
std::string toWindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') {
    return path;
  }
  std::string out = "Z:" + path;
  for (char& c : out) {
    if (c == '/') {
      c = '\\';
    }
  }
  return out;
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// One line of the script, split: the verb (as written, and in lower case),
// its arguments, and the text after the verb as written.
struct Line {
  std::string written;  // the verb as written
  std::string verb;
  std::vector<std::string> args;
  std::string rest;
};

// What parsing keeps from line to line, to refuse impossible moves.
struct ParseState {
  std::string folder;                          // the script's folder, for relative paths
  int occupied = 0;                            // the vehicle the player sits in, 0 on foot
  bool coloured[StandinMaxVehicles + 1] = {};  // vehicles that have appeared with a colour
};

void arity(const Line& line, std::size_t least, std::size_t most, const char* usage) {
  if (line.args.size() < least || line.args.size() > most) {
    throw ScriptError(std::string("usage: ") + usage);
  }
}

Step parseNote(const Line& line, ParseState&) { return {Kind::Note, 0, line.rest}; }

// The settings the plugin reads: each key in any letter case, each value as
// written, whatever it is (the plugin reads any text; see Quillmere.ini).
Step parseSettings(const Line& line, ParseState&) {
  arity(line, 0, 2, "settings [quillmere_modifier=VALUE] [quillmere=VALUE]");
  Step step{Kind::Settings, 0, "[keys]\r\n"};
  for (const std::string& arg : line.args) {
    const std::size_t equals = arg.find('=');
    const std::string key = lower(arg.substr(0, equals));
    if (equals == std::string::npos || (key != "quillmere" && key != "quillmere_modifier")) {
      throw ScriptError("settings take quillmere=VALUE and quillmere_modifier=VALUE, not " +
                        quoted(arg));
    }
    step.text += arg + "\r\n";
  }
  return step;
}

Step parseSettingsFile(const Line& line, ParseState& state) {
  arity(line, 1, 1, "settings-file PATH");
  const std::string& path = line.args[0];
  const bool absolute = path[0] == '/' || (path.size() > 1 && path[1] == ':');
  Step step{Kind::SettingsFile, 0, absolute ? path : state.folder + path};
  if (!std::ifstream(toWindowsPath(step.text))) {
    throw ScriptError("cannot read the settings file " + quoted(step.text));
  }
  return step;
}

Step parseBoarding(const Line& line, ParseState& state) {
  const bool getIn = line.verb == "get-in";
  arity(line, 1, 2, getIn ? "get-in VEHICLE [R,G,B]" : "move-into VEHICLE [R,G,B]");
  Step step{getIn ? Kind::GetIn : Kind::MoveInto, 0, {}};
  step.vehicle = static_cast<int>(number(line.args[0], 1, StandinMaxVehicles, "a vehicle number"));
  if (line.args.size() == 2) {
    step.hasColour = true;
    step.colour = colour(line.args[1]);
  } else if (!state.coloured[step.vehicle]) {
    throw ScriptError("vehicle " + std::to_string(step.vehicle) +
                      " is new: give its neon colour as R,G,B");
  }
  if (getIn && state.occupied != 0) {
    throw ScriptError("the player already sits in vehicle " + std::to_string(state.occupied) +
                      ": get-out first, or move-into");
  }
  if (!getIn && state.occupied == 0) {
    throw ScriptError("the player is on foot: get-in first");
  }
  if (state.occupied == step.vehicle) {
    throw ScriptError("the player already sits in vehicle " + std::to_string(state.occupied));
  }
  state.coloured[step.vehicle] = true;
  state.occupied = step.vehicle;
  return step;
}

Step parseGetOut(const Line& line, ParseState& state) {
  arity(line, 0, 0, "get-out");
  if (state.occupied == 0) {
    throw ScriptError("the player is on foot already");
  }
  state.occupied = 0;
  return {Kind::GetOut, 0, {}};
}

Step parseKey(const Line& line, ParseState&) {
  const bool down = line.verb == "key-down";
  arity(line, 1, 1, down ? "key-down KEY" : "key-up KEY");
  Step step{down ? Kind::KeyDown : Kind::KeyUp, 0, {}};
  step.value = keyCode(line.args[0]);
  return step;
}

Step parseWait(const Line& line, ParseState&) {
  arity(line, 1, 1, "wait MILLISECONDS");
  Step step{Kind::Wait, 0, {}};
  step.value = static_cast<std::uint32_t>(number(line.args[0], 1, 3'600'000, "a wait"));
  return step;
}

Step parseRestart(const Line& line, ParseState&) {
  arity(line, 0, 0, "restart");
  return {Kind::Restart, 0, {}};
}

struct Verb {
  const char* name;
  Step (*parse)(const Line&, ParseState&);
};

constexpr Verb Verbs[] = {
    {"note", parseNote},       {"settings", parseSettings},  {"settings-file", parseSettingsFile},
    {"get-in", parseBoarding}, {"move-into", parseBoarding}, {"get-out", parseGetOut},
    {"key-down", parseKey},    {"key-up", parseKey},         {"wait", parseWait},
    {"restart", parseRestart}};

Line split(const std::string& text) {
  Line line;
  const std::string content = text.substr(0, text.find('#'));
  std::istringstream words(content);
  words >> line.written;
  line.verb = lower(line.written);
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

Step parseLine(const Line& line, ParseState& state) {
  for (const Verb& verb : Verbs) {
    if (line.verb == verb.name) {
      return verb.parse(line, state);
    }
  }
  std::string known;
  for (const Verb& verb : Verbs) {
    known += (known.empty() ? "" : ", ") + std::string(verb.name);
  }
  throw ScriptError("unknown step " + quoted(line.written) + " (known: " + known + ")");
}

// Reads and checks the whole script before anything is played. The bytes are
// taken as they are (binary: a Ctrl-Z is a byte like any other), a UTF-8
// byte-order mark is skipped, and lines end in LF or CRLF.
std::vector<Step> parse(const std::string& fileName, const std::string& bytes) {
  std::string text = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? bytes.substr(3) : bytes;
  std::vector<Step> steps;
  ParseState state;
  state.folder = folderOf(fileName);
  std::istringstream in(text);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    const Line words = split(line);
    if (words.verb.empty()) {
      continue;
    }
    try {
      Step step = parseLine(words, state);
      step.line = number;
      steps.push_back(step);
    } catch (const ScriptError& error) {
      throw ScriptError(fileName + ":" + std::to_string(number) + ": " + error.what());
    }
  }
  if (steps.empty()) {
    throw ScriptError(fileName + ":" + std::to_string(number == 0 ? 1 : number) +
                      ": nothing to play (no steps, only blank lines and comments)");
  }
  return steps;
}

// --- Playing.

struct Ride {
  bool swatches = false;                      // draw colour swatches
  std::uint32_t elapsed = 0;                  // ms since the ride began
  bool created[StandinMaxVehicles + 1] = {};  // vehicles that exist, by number
  GameHandle previous = 0;                    // where the player sat at the last frame
};

GameHandle handleOf(int vehicle) { return VehicleHandleBase + vehicle; }
int numberOf(GameHandle handle) { return handle - VehicleHandleBase; }
StandinWorld& world() { return standinState()->world; }

std::string describe(const Ride& ride, const NeonColour& c) {
  char text[64];
  std::snprintf(text, sizeof text, "%3d,%3d,%3d", c.red, c.green, c.blue);
  std::string out = text;
  if (ride.swatches) {
    char swatch[64];
    std::snprintf(swatch, sizeof swatch, " \x1b[48;2;%d;%d;%dm    \x1b[0m", c.red, c.green, c.blue);
    out += swatch;
  }
  return out;
}

std::string vehicles(const Ride& ride) {
  std::string out;
  for (int n = 1; n <= StandinMaxVehicles; ++n) {
    if (ride.created[n]) {
      out += "  vehicle " + std::to_string(n) + " " +
             describe(ride, worldFindVehicle(world(), handleOf(n))->neon);
    }
  }
  return out;
}

void line(const Ride& ride, const std::string& what, bool withVehicles) {
  if (withVehicles) {
    std::printf("%8.3f s  %-50s%s\n", ride.elapsed / 1000.0, what.c_str(), vehicles(ride).c_str());
  } else {
    std::printf("%8.3f s  %s\n", ride.elapsed / 1000.0, what.c_str());
  }
}

bool operator!=(const NeonColour& a, const NeonColour& b) {
  return a.red != b.red || a.green != b.green || a.blue != b.blue;
}

// Runs one frame and reports what the plugin saw when it is worth a line: a
// change of situation, or a neon colour that changed.
void frame(Ride& ride) {
  NeonColour before[StandinMaxVehicles + 1] = {};
  for (int n = 1; n <= StandinMaxVehicles; ++n) {
    if (ride.created[n]) {
      before[n] = worldFindVehicle(world(), handleOf(n))->neon;
    }
  }
  standinSetClock(StartTick + ride.elapsed);
  standinRunFrames(1);
  const GameHandle previous = ride.previous;
  const GameHandle current = world().occupied;

  std::string saw;
  if (previous == 0 && current != 0) {
    saw = "got in vehicle " + std::to_string(numberOf(current));
  } else if (previous != 0 && current == 0) {
    saw = "got out of vehicle " + std::to_string(numberOf(previous));
  } else if (previous != 0 && current != previous) {
    saw = "moved from vehicle " + std::to_string(numberOf(previous)) + " into vehicle " +
          std::to_string(numberOf(current));
  }
  std::string changes;
  for (int n = 1; n <= StandinMaxVehicles; ++n) {
    if (!ride.created[n]) {
      continue;
    }
    const NeonColour after = worldFindVehicle(world(), handleOf(n))->neon;
    if (after != before[n]) {
      const bool dark = after.red == 0 && after.green == 0 && after.blue == 0;
      changes += (changes.empty() ? "" : ", ") + std::string("vehicle ") + std::to_string(n) +
                 (dark ? " dark" : " lit");
    }
  }
  if (!saw.empty() || !changes.empty()) {
    if (saw.empty()) {
      saw = current == 0 ? "on foot" : "staying in";
    }
    line(ride, "  plugin saw: " + saw + (changes.empty() ? "" : "; " + changes), true);
  }
  ride.previous = current;
}

// INI lines as one line of the trace.
std::string oneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != '\r') {
      out += c == '\n' ? ' ' : c;
    }
  }
  while (!out.empty() && out.back() == ' ') {
    out.pop_back();
  }
  return out;
}

void playNote(Ride&, const Step& step) { std::printf("\n-- %s\n", step.text.c_str()); }

void playSettings(Ride& ride, const Step& step) {
  std::ofstream("Quillmere.ini", std::ios::binary) << step.text;
  line(ride, "settings: " + oneLine(step.text.substr(std::strlen("[keys]\r\n"))), false);
}

void playSettingsFile(Ride& ride, const Step& step) {
  std::ifstream in(toWindowsPath(step.text), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::ofstream("Quillmere.ini", std::ios::binary) << text.str();
  line(ride, "settings from " + step.text, false);
}

void playBoarding(Ride& ride, const Step& step) {
  const GameHandle handle = handleOf(step.vehicle);
  if (step.hasColour) {
    worldAddVehicle(world(), handle, step.colour);
    ride.created[step.vehicle] = true;
  }
  world().occupied = handle;
  line(ride,
       (step.kind == Kind::GetIn ? "player gets in vehicle " : "player moves into vehicle ") +
           std::to_string(step.vehicle),
       false);
}

void playGetOut(Ride& ride, const Step&) {
  world().occupied = 0;
  line(ride, "player gets out", false);
}

// A key event as a game window's message gives it: a press was up before, a
// release was down before.
void playKey(Ride& ride, const Step& step) {
  const bool up = step.kind == Kind::KeyUp;
  standinSetClock(StartTick + ride.elapsed);
  standinSendKey(step.value, 1, 0, 0, 0, up ? 1 : 0, up ? 1 : 0);
  line(ride, std::string(up ? "player releases " : "player presses ") + keyName(step.value), false);
}

void playWait(Ride& ride, const Step& step) {
  for (std::uint32_t waited = 0; waited < step.value; waited += FrameMs) {
    frame(ride);
    ride.elapsed += FrameMs;
  }
}

void playRestart(Ride& ride, const Step&) {
  standinRestartScripts();
  line(ride, "the host restarts the script", false);
}

// By Kind, in its order.
void (*const Players[])(Ride&, const Step&) = {
    playNote,   playSettings, playSettingsFile, playBoarding, playBoarding,
    playGetOut, playKey,      playKey,          playWait,     playRestart};

static_assert(std::size(Players) == static_cast<std::size_t>(Kind::Restart) + 1,
              "a player for every kind of step, in its order");

int play(const std::vector<Step>& steps, const std::string& pluginPath, bool swatches) {
  Ride ride{swatches};
  standinReset(StartTick);
  world().player = PlayerCharacter;

  // The plugin reads ".\Quillmere.ini": give it a folder of its own.
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string folder =
      std::string(temp) + "quillmere-ride-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  DeleteFileA((folder + "\\Quillmere.ini").c_str());
  SetCurrentDirectoryA(folder.c_str());

  if (standinLoadPlugin(toWindowsPath(pluginPath).c_str(), 1) == 0) {
    std::fprintf(stderr, "error: cannot load the plugin %s\n", pluginPath.c_str());
    return 1;
  }
  std::printf(
      "Playing a ride with %s, a frame every %u ms.\n"
      "The plugin reads its settings when the host starts its script: on the first\n"
      "frame and on each restart.\n\n",
      pluginPath.c_str(), static_cast<unsigned>(FrameMs));
  std::printf("%8s    %-50s%s\n", "time", "what happened", "neon colours (red,green,blue)");
  for (const Step& step : steps) {
    Players[static_cast<int>(step.kind)](ride, step);
  }
  standinUnloadPlugin();
  SetCurrentDirectoryA("\\");
  DeleteFileA((folder + "\\Quillmere.ini").c_str());
  RemoveDirectoryA(folder.c_str());
  std::printf("\nThe ride took %.3f s.\n", ride.elapsed / 1000.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Plain "\n" line ends: the trace and the errors are read on Linux.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  bool swatches = false;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--swatches") == 0) {
      swatches = true;
    } else {
      args.push_back(argv[i]);
    }
  }
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: ride.exe [--swatches] PLUGIN RIDE\n");
    return 2;
  }
  std::ifstream in(toWindowsPath(args[1]), std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "%s: cannot read the ride script\n", args[1].c_str());
    return 2;
  }
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<Step> steps;
  try {
    steps = parse(args[1], bytes);
  } catch (const ScriptError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 2;
  }
  const int status = play(steps, args[0], swatches);
  std::fflush(stdout);
  return status;
}
