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
// A script with an error stops before anything is played, with the file, the
// line and what is wrong, and exit status 2.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "standins/scripthookv/standin_host.h"

namespace {

constexpr std::uint32_t FrameMs = 16;           // about 60 frames a second
constexpr std::uint32_t StartTick = 5'000'000;  // an ordinary tick, far from the wrap
constexpr GameHandle PlayerCharacter = 0x100;
constexpr GameHandle VehicleHandleBase = 0x1000;  // vehicle N is handle base + N

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

const std::map<std::string, std::uint32_t>& keyNames() {
  static const std::map<std::string, std::uint32_t> names = [] {
    std::map<std::string, std::uint32_t> n = {{"shift", 16},   {"ctrl", 17},    {"alt", 18},
                                              {"space", 32},   {"enter", 13},   {"tab", 9},
                                              {"lshift", 160}, {"rshift", 161}, {"lctrl", 162},
                                              {"rctrl", 163},  {"lalt", 164},   {"ralt", 165}};
    for (char c = 'a'; c <= 'z'; ++c) {
      n[std::string(1, c)] = static_cast<std::uint32_t>(std::toupper(c));
    }
    for (char c = '0'; c <= '9'; ++c) {
      n[std::string(1, c)] = static_cast<std::uint32_t>(c);
    }
    for (int f = 1; f <= 12; ++f) {
      n["f" + std::to_string(f)] = static_cast<std::uint32_t>(111 + f);
    }
    return n;
  }();
  return names;
}

std::string keyName(std::uint32_t code) {
  for (const auto& [name, value] : keyNames()) {
    if (value == code) {
      std::string upper = name;
      upper[0] = static_cast<char>(std::toupper(upper[0]));
      return upper + " (" + std::to_string(code) + ")";
    }
  }
  return "key " + std::to_string(code);
}

std::string lower(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

// A whole decimal number in [low, high], or an error naming `what`.
long long number(const std::string& word, long long low, long long high, const std::string& what) {
  if (word.empty()) {
    throw ScriptError("missing " + what);
  }
  std::size_t used = 0;
  long long value = 0;
  try {
    value = std::stoll(word, &used, 10);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != word.size() || value < low || value > high) {
    throw ScriptError(what + " must be a whole number from " + std::to_string(low) + " to " +
                      std::to_string(high) + ", not '" + word + "'");
  }
  return value;
}

std::uint32_t keyCode(const std::string& word) {
  const auto named = keyNames().find(lower(word));
  if (named != keyNames().end()) {
    return named->second;
  }
  if (word.empty() || !std::isdigit(static_cast<unsigned char>(word[0]))) {
    throw ScriptError("'" + word + "' is neither a key name (A, N, Ctrl, F1, ...) nor a key code");
  }
  return static_cast<std::uint32_t>(number(word, 0, 0xFFFFFFFFLL, "a key code"));
}

NeonColour colour(const std::string& word) {
  std::vector<std::string> parts;
  std::stringstream in(word);
  for (std::string part; std::getline(in, part, ',');) {
    parts.push_back(part);
  }
  if (parts.size() != 3) {
    throw ScriptError("a colour is R,G,B (three numbers from 0 to 255), not '" + word + "'");
  }
  return {static_cast<std::int32_t>(number(parts[0], 0, 255, "red")),
          static_cast<std::int32_t>(number(parts[1], 0, 255, "green")),
          static_cast<std::int32_t>(number(parts[2], 0, 255, "blue"))};
}

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

// Reads and checks the whole script before anything is played.
std::vector<Step> parse(const std::string& fileName, std::istream& in) {
  std::vector<Step> steps;
  int line = 0;
  int occupied = 0;  // the vehicle the player sits in as the script goes, to catch impossible moves
  for (std::string text; std::getline(in, text);) {
    ++line;
    if (!text.empty() && text.back() == '\r') {
      text.pop_back();
    }
    const std::string content = text.substr(0, text.find('#'));
    std::istringstream words(content);
    std::string verb;
    if (!(words >> verb)) {
      continue;
    }
    std::vector<std::string> args;
    for (std::string word; words >> word;) {
      args.push_back(word);
    }
    auto arity = [&](std::size_t least, std::size_t most, const char* usage) {
      if (args.size() < least || args.size() > most) {
        throw ScriptError(std::string("usage: ") + usage);
      }
    };
    try {
      Step step{Kind::Note, line, {}};
      verb = lower(verb);
      if (verb == "note") {
        step.kind = Kind::Note;
        step.text = content.substr(content.find("note") + 4);
        step.text.erase(0, step.text.find_first_not_of(" \t"));
      } else if (verb == "settings") {
        arity(0, 2, "settings [quillmere_modifier=N] [quillmere=N]");
        step.kind = Kind::Settings;
        step.text = "[keys]\r\n";
        for (const std::string& arg : args) {
          const std::size_t equals = arg.find('=');
          const std::string key = arg.substr(0, equals);
          if (equals == std::string::npos || (key != "quillmere" && key != "quillmere_modifier")) {
            throw ScriptError("settings take quillmere=N and quillmere_modifier=N, not '" + arg +
                              "'");
          }
          step.text += arg + "\r\n";
        }
      } else if (verb == "settings-file") {
        arity(1, 1, "settings-file PATH");
        step.kind = Kind::SettingsFile;
        step.text = args[0][0] == '/' || (args[0].size() > 1 && args[0][1] == ':')
                        ? args[0]
                        : folderOf(fileName) + args[0];
        if (!std::ifstream(toWindowsPath(step.text))) {
          throw ScriptError("cannot read settings file '" + step.text + "'");
        }
      } else if (verb == "get-in" || verb == "move-into") {
        arity(1, 2, verb == "get-in" ? "get-in VEHICLE [R,G,B]" : "move-into VEHICLE [R,G,B]");
        step.kind = verb == "get-in" ? Kind::GetIn : Kind::MoveInto;
        step.vehicle = static_cast<int>(number(args[0], 1, StandinMaxVehicles, "a vehicle number"));
        if (args.size() == 2) {
          step.hasColour = true;
          step.colour = colour(args[1]);
        }
        if (step.kind == Kind::GetIn && occupied != 0) {
          throw ScriptError("the player already sits in vehicle " + std::to_string(occupied) +
                            ": get-out first, or move-into");
        }
        if (step.kind == Kind::MoveInto && occupied == 0) {
          throw ScriptError("the player is on foot: get-in first");
        }
        if (step.kind == Kind::MoveInto && occupied == step.vehicle) {
          throw ScriptError("the player already sits in vehicle " + std::to_string(occupied));
        }
        occupied = step.vehicle;
      } else if (verb == "get-out") {
        arity(0, 0, "get-out");
        if (occupied == 0) {
          throw ScriptError("the player is on foot already");
        }
        step.kind = Kind::GetOut;
        occupied = 0;
      } else if (verb == "key-down" || verb == "key-up") {
        arity(1, 1, verb == "key-down" ? "key-down KEY" : "key-up KEY");
        step.kind = verb == "key-down" ? Kind::KeyDown : Kind::KeyUp;
        step.value = keyCode(args[0]);
      } else if (verb == "wait") {
        arity(1, 1, "wait MILLISECONDS");
        step.kind = Kind::Wait;
        step.value = static_cast<std::uint32_t>(number(args[0], 1, 3'600'000, "a wait"));
      } else if (verb == "restart") {
        arity(0, 0, "restart");
        step.kind = Kind::Restart;
      } else {
        throw ScriptError("unknown step '" + verb +
                          "' (known: note, settings, settings-file, get-in, move-into, get-out, "
                          "key-down, key-up, wait, restart)");
      }
      steps.push_back(step);
    } catch (const ScriptError& error) {
      throw ScriptError(fileName + ":" + std::to_string(line) + ": " + error.what());
    }
  }
  return steps;
}

// --- Playing.

struct Ride {
  bool swatches;                              // draw colour swatches
  std::uint32_t elapsed = 0;                  // ms since the ride began
  bool created[StandinMaxVehicles + 1] = {};  // vehicles that exist, by number
};

GameHandle handleOf(int vehicle) { return VehicleHandleBase + vehicle; }

std::string describe(const Ride& player, const NeonColour& c) {
  char text[64];
  std::snprintf(text, sizeof text, "%3d,%3d,%3d", c.red, c.green, c.blue);
  std::string out = text;
  if (player.swatches) {
    char swatch[64];
    std::snprintf(swatch, sizeof swatch, " \x1b[48;2;%d;%d;%dm    \x1b[0m", c.red, c.green, c.blue);
    out += swatch;
  }
  return out;
}

std::string vehicles(const Ride& player) {
  std::string out;
  StandinWorld& world = standinState()->world;
  for (int n = 1; n <= StandinMaxVehicles; ++n) {
    if (player.created[n]) {
      out += "  vehicle " + std::to_string(n) + " " +
             describe(player, findVehicle(world, handleOf(n))->neon);
    }
  }
  return out;
}

void line(const Ride& player, const std::string& what, bool withVehicles) {
  if (withVehicles) {
    std::printf("%8.3f s  %-50s%s\n", player.elapsed / 1000.0, what.c_str(),
                vehicles(player).c_str());
  } else {
    std::printf("%8.3f s  %s\n", player.elapsed / 1000.0, what.c_str());
  }
}

int numberOf(GameHandle handle) { return handle - VehicleHandleBase; }

// Runs one frame and reports what the plugin saw when it is worth a line: a
// change of situation, or a neon colour that changed.
void frame(Ride& player, GameHandle& previous) {
  StandinWorld& world = standinState()->world;
  NeonColour before[StandinMaxVehicles + 1] = {};
  for (int n = 1; n <= StandinMaxVehicles; ++n) {
    if (player.created[n]) {
      before[n] = findVehicle(world, handleOf(n))->neon;
    }
  }
  standinSetClock(StartTick + player.elapsed);
  standinRunFrames(1);
  const GameHandle current = world.occupied;

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
    if (!player.created[n]) {
      continue;
    }
    const NeonColour after = findVehicle(world, handleOf(n))->neon;
    if (after.red != before[n].red || after.green != before[n].green ||
        after.blue != before[n].blue) {
      const bool dark = after.red == 0 && after.green == 0 && after.blue == 0;
      changes += (changes.empty() ? "" : ", ") + std::string("vehicle ") + std::to_string(n) +
                 (dark ? " dark" : " lit");
    }
  }
  if (!saw.empty() || !changes.empty()) {
    if (saw.empty()) {
      saw = current == 0 ? "on foot" : "staying in";
    }
    line(player, "  plugin saw: " + saw + (changes.empty() ? "" : "; " + changes), true);
  }
  previous = current;
}

// INI lines as one line of the trace.
std::string oneLine(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') {
      continue;
    }
    out += c == '\n' ? ' ' : c;
  }
  while (!out.empty() && out.back() == ' ') {
    out.pop_back();
  }
  return out;
}

void writeSettings(const std::string& text) {
  std::ofstream("Quillmere.ini", std::ios::binary) << text;
}

int play(const std::vector<Step>& steps, const std::string& pluginPath, bool swatches) {
  Ride player{swatches};
  standinReset(StartTick);
  StandinWorld& world = standinState()->world;
  world.player = PlayerCharacter;

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

  GameHandle previous = 0;
  for (const Step& step : steps) {
    switch (step.kind) {
      case Kind::Note:
        std::printf("\n-- %s\n", step.text.c_str());
        break;
      case Kind::Settings:
        writeSettings(step.text);
        line(player, "settings: " + oneLine(step.text.substr(std::strlen("[keys]\r\n"))), false);
        break;
      case Kind::SettingsFile: {
        std::ifstream in(toWindowsPath(step.text), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        writeSettings(text.str());
        line(player, "settings from " + step.text, false);
        break;
      }
      case Kind::GetIn:
      case Kind::MoveInto: {
        const GameHandle handle = handleOf(step.vehicle);
        if (step.hasColour || !player.created[step.vehicle]) {
          addVehicle(world, handle, step.colour);
          player.created[step.vehicle] = true;
        }
        world.occupied = handle;
        line(player,
             (step.kind == Kind::GetIn ? "player gets in vehicle " : "player moves into vehicle ") +
                 std::to_string(step.vehicle),
             false);
        break;
      }
      case Kind::GetOut:
        world.occupied = 0;
        line(player, "player gets out", false);
        break;
      case Kind::KeyDown:
      case Kind::KeyUp: {
        const bool up = step.kind == Kind::KeyUp;
        standinSetClock(StartTick + player.elapsed);
        standinSendKey(step.value, 1, 0, 0, 0, up ? 1 : 0, up ? 1 : 0);
        line(player, std::string(up ? "player releases " : "player presses ") + keyName(step.value),
             false);
        break;
      }
      case Kind::Wait:
        for (std::uint32_t waited = 0; waited < step.value; waited += FrameMs) {
          frame(player, previous);
          player.elapsed += FrameMs;
        }
        break;
      case Kind::Restart:
        standinRestartScripts();
        line(player, "the host restarts the script", false);
        break;
    }
  }
  standinUnloadPlugin();
  SetCurrentDirectoryA("\\");
  DeleteFileA((folder + "\\Quillmere.ini").c_str());
  RemoveDirectoryA(folder.c_str());
  std::printf("\nThe ride took %.3f s.\n", player.elapsed / 1000.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Plain "\n" line ends: the trace is read on Linux, through a pipe.
  _setmode(_fileno(stdout), _O_BINARY);
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
  std::ifstream in(toWindowsPath(args[1]));
  if (!in) {
    std::fprintf(stderr, "error: cannot read the ride script %s\n", args[1].c_str());
    return 2;
  }
  std::vector<Step> steps;
  try {
    steps = parse(args[1], in);
  } catch (const ScriptError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 2;
  }
  const int status = play(steps, args[0], swatches);
  std::fflush(stdout);
  return status;
}
