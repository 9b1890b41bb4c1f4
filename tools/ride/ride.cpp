// The ride simulator: plays a ride script against the shipped plugin, loaded
// through the stand-in host, and prints a trace a person can follow: what the
// ride did (the player's moves and keys, the settings, the host's restarts),
// apart from what the plugin did (the colours it set, from the host's record
// of its native calls), with every vehicle's neon colour beside the plugin's
// lines. With --svg it also draws the ride as a picture.
//
// Usage: ride.exe [--swatches] [--svg FILE] [--name NAME --relative-to FOLDER]
//                 --folder FOLDER PLUGIN RIDE
//   PLUGIN      the plugin to load (dist/Quillmere.asi)
//   RIDE        the ride script; see default.ride for the steps it knows
//   --folder    an empty folder of the caller's, the ride's current folder,
//               where the plugin reads Quillmere.ini; the caller removes it
//   --swatches  draws each colour as a 24-bit colour swatch too
//   --svg FILE  draws the ride into FILE, an SVG picture
//   --name NAME, --relative-to FOLDER
//               RIDE is a copy of the ride NAME, as Linux names it (a
//               backslash one of its letters), whose settings files are
//               found from FOLDER: messages and the picture name the ride
//               NAME, and a settings-file PATH starts from FOLDER. play.sh
//               plays a copy because Wine reads some Linux names as others.
// Paths may be given as Linux names them (under Wine) or as Windows does,
// in any letters: the arguments are read as the wide command line holds them.
//
// A script with an error stops before anything is played, with one line on
// standard error, "file:line: what is wrong", and exit status 2. Anything
// else that fails (the plugin does not load, a file cannot be written) stops
// the ride with one line, "error: what failed", and exit status 1; the
// settings file the ride wrote goes either way.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "standins/scripthookv_dll/scripthookv_dll.h"
#include "tests/common/player_facts.h"
#include "tools/ride/picture.h"
#include "tools/ride/record.h"
#include "tools/ride/script.h"
#include "tools/wine/windows_path.h"

namespace {

constexpr std::uint32_t FrameMs = 16;           // about 60 frames a second
constexpr std::uint32_t StartTick = 5'000'000;  // an ordinary tick, far from the wrap
constexpr GameHandle PlayerCharacter = 0x100;
constexpr GameHandle VehicleHandleBase = 0x1000;  // vehicle N is handle base + N
constexpr std::size_t LargestRide = 16 << 20;     // bytes of a ride script

// A failure of the machine rather than of the script.
struct RideFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The caller's folder for the ride as the current directory, where the
// plugin reads .\\Quillmere.ini. On the way out the previous directory comes
// back and the settings file goes; the folder is the caller's to remove.
class RideFolder {
 public:
  explicit RideFolder(const std::string& folder) : path_(windowsPath(folder)) {
    wchar_t previous[MAX_PATH];
    const DWORD previousLength = GetCurrentDirectoryW(MAX_PATH, previous);
    if (previousLength == 0 || previousLength > MAX_PATH) {
      throw RideFailure("cannot find the current folder");
    }
    previous_ = previous;
    if (SetCurrentDirectoryW(wideText(path_).c_str()) == 0) {
      throw RideFailure("cannot make " + path_ + " the current folder");
    }
  }
  ~RideFolder() {
    SetCurrentDirectoryW(previous_.c_str());
    DeleteFileW(wideText(settingsPath()).c_str());
  }
  RideFolder(const RideFolder&) = delete;
  RideFolder& operator=(const RideFolder&) = delete;

  // Written by its whole path, never relative to whatever is current.
  void writeSettings(const std::string& bytes) const {
    std::ofstream out(fileName(settingsPath()), std::ios::binary);
    if (!(out << bytes) || !out.flush()) {
      throw RideFailure("cannot write " + settingsPath());
    }
  }

 private:
  std::string settingsPath() const { return path_ + "\\" + IniFileName; }
  std::wstring previous_;  // the current folder before
  std::string path_;       // the ride's folder, as Windows names it
};

// The plugin loaded by the stand-in host on the test clock, in a world with
// the player character and no vehicle, for as long as the object lives.
class LoadedPlugin {
 public:
  explicit LoadedPlugin(const std::string& path) {
    standinReset(StartTick);
    standinState()->world.player = PlayerCharacter;
    if (standinLoadPlugin(windowsPath(path).c_str(), StandinTestClock) == 0) {
      throw RideFailure("cannot load the plugin " + path +
                        " (not a DLL for this machine, or it does not import GetTickCount)");
    }
  }
  ~LoadedPlugin() { standinUnloadPlugin(); }
  LoadedPlugin(const LoadedPlugin&) = delete;
  LoadedPlugin& operator=(const LoadedPlugin&) = delete;
};

GameHandle handleOf(int vehicle) { return VehicleHandleBase + vehicle; }
int numberOf(GameHandle handle) { return handle - VehicleHandleBase; }
StandinWorld& world() { return standinState()->world; }

// The ride being played: where it stands, and its records so far.
struct Ride {
  const RideFolder& folder;   // where the plugin reads its settings
  bool swatches = false;      // draw colour swatches in the trace
  RideRecord record;          // what happened so far
  std::uint32_t elapsed = 0;  // ms since the ride began
};

// --- The trace: a line for each record, as it is made.

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

// Every vehicle's colour as the world holds it now.
std::string vehicleColours(const Ride& ride) {
  std::string out;
  for (int n = 1; n <= StandinMaxVehicles; ++n) {
    if (const StandinVehicle* vehicle = worldFindVehicle(world(), handleOf(n))) {
      out += "  vehicle " + std::to_string(n) + " " + describe(ride, vehicle->neon);
    }
  }
  return out;
}

// "   2.144 s  player  presses N (78)"
void trace(std::uint32_t ms, const char* who, const std::string& what,
           const std::string& colours = "") {
  if (colours.empty()) {
    std::printf("%8.3f s  %-7s %s\n", ms / 1000.0, who, what.c_str());
  } else {
    std::printf("%8.3f s  %-7s %-46s%s\n", ms / 1000.0, who, what.c_str(), colours.c_str());
  }
}

std::string colourText(const NeonColour& c) {
  return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
}

std::string pluginDid(const PluginSetRecord& set) {
  const std::string vehicle = "vehicle " + std::to_string(set.vehicle);
  if (!set.switched) {
    return "puts " + vehicle + "'s colour back: sets " + colourText(set.colour);
  }
  return "switches " + vehicle + (isDark(set.colour) ? " dark" : " lit") + ": sets " +
         colourText(set.colour);
}

// --- Playing: each step makes its records, and the trace says so.

std::int32_t low32(std::uint64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// The world as it stands after the frame at `ms`.
FrameRecord frameRecord(std::uint32_t ms, const StandinWorld& standing) {
  FrameRecord frame{ms, standing.occupied == 0 ? 0 : numberOf(standing.occupied), 0, {}};
  for (int i = 0; i < standing.vehicleCount; ++i) {
    const int n = numberOf(standing.vehicles[i].handle);
    frame.present |= 1u << (n - 1);
    frame.neon[n] = standing.vehicles[i].neon;
  }
  return frame;
}

// The colours the plugin set in the frame at `ms`, as the host recorded its
// native calls: on the vehicle the player sits in, a switch.
std::vector<PluginSetRecord> colourSets(std::uint32_t ms, const StandinDllState& host) {
  std::vector<PluginSetRecord> sets;
  for (int i = 0; i < host.natives.count && i < NativeLogSize; ++i) {
    const NativeCallRecord& call = host.natives.log[i];
    if (call.hash == GameNatives::NeonColourSetter && call.argCount == 4) {
      const GameHandle vehicle = low32(call.args[0]);
      sets.push_back({ms,
                      numberOf(vehicle),
                      {low32(call.args[1]), low32(call.args[2]), low32(call.args[3])},
                      vehicle == host.world.occupied});
    }
  }
  return sets;
}

bool sameWorld(const FrameRecord& a, const FrameRecord& b) {
  if (a.occupied != b.occupied || a.present != b.present) {
    return false;
  }
  for (int n = 1; n <= StandinMaxVehicles; ++n) {
    if (present(a, n) && !sameColour(a.neon[n], b.neon[n])) {
      return false;
    }
  }
  return true;
}

// One frame at the ride's time: the host resumes the plugin's script once.
// The frame is recorded when the world it leaves differs from the last one
// recorded, so a long ride's records stay as small as what happened in it.
void playFrame(Ride& ride) {
  StandinDllState& host = *standinState();
  standinSetClock(StartTick + ride.elapsed);
  host.natives.count = 0;
  standinRunFrames(1);
  const FrameRecord frame = frameRecord(ride.elapsed, host.world);
  if (ride.record.frames.empty() || !sameWorld(ride.record.frames.back(), frame)) {
    ride.record.frames.push_back(frame);
  }
  for (const PluginSetRecord& set : colourSets(ride.elapsed, host)) {
    ride.record.sets.push_back(set);
    trace(set.ms, "plugin", pluginDid(set), vehicleColours(ride));
  }
}

void play(Ride& ride, const NoteStep& step) {
  ride.record.notes.push_back({ride.elapsed, step.heading});
  std::printf("\n-- %s\n", step.heading.c_str());
}

void play(Ride& ride, const SettingsStep& step) {
  ride.folder.writeSettings(step.iniText);
  trace(ride.elapsed, "ride", "writes Quillmere.ini: " + step.shown);
}

void play(Ride& ride, const BoardStep& step) {
  const GameHandle handle = handleOf(step.vehicle);
  if (step.colour) {
    worldAddVehicle(world(), handle, *step.colour);
  }
  world().occupied = handle;
  trace(ride.elapsed, "player",
        (step.fromAnother ? "moves into vehicle " : "gets in vehicle ") +
            std::to_string(step.vehicle),
        vehicleColours(ride));
}

void play(Ride& ride, const GetOutStep&) {
  world().occupied = 0;
  trace(ride.elapsed, "player", "gets out");
}

// A key event as a game window's message gives it: a press was up before, a
// release was down before.
void play(Ride& ride, const KeyStep& step) {
  standinSetClock(StartTick + ride.elapsed);
  const std::int32_t up = step.down ? 0 : 1;
  standinSendKey(step.code, 1, 0, 0, 0, up, up);
  ride.record.keys.push_back({ride.elapsed, step.code, step.down});
  trace(ride.elapsed, "player", (step.down ? "presses " : "releases ") + keyName(step.code));
}

void play(Ride& ride, const WaitStep& step) {
  for (std::uint32_t waited = 0; waited < step.milliseconds; waited += FrameMs) {
    playFrame(ride);
    ride.elapsed += FrameMs;
  }
}

void play(Ride& ride, const RestartStep&) {
  standinRestartScripts();
  trace(ride.elapsed, "host", "restarts the plugin's script");
}

RideRecord playRide(const std::vector<Step>& steps, const std::string& folderPath,
                    const std::string& pluginPath, const std::string& title, bool swatches) {
  const RideFolder folder(folderPath);
  const LoadedPlugin plugin(pluginPath);
  std::printf(
      "Playing a ride with %s, a frame every %u ms.\n"
      "The plugin reads its settings when the host starts its script: on the first\n"
      "frame and on each restart.\n\n",
      printable(pluginPath).c_str(), static_cast<unsigned>(FrameMs));
  std::printf("%8s    %-7s %-46s%s\n", "time", "who", "what", "neon colours (red,green,blue)");
  Ride ride{folder, swatches, {}};
  ride.record.title = title;
  for (const Step& step : steps) {
    std::visit([&ride](const auto& kind) { play(ride, kind); }, step);
  }
  const StandinDllState& host = *standinState();
  if (host.failedCall != nullptr) {
    throw RideFailure(std::string("the stand-in host's ") + host.failedCall + " failed");
  }
  if (host.refusedScripts + host.refusedHandlers != 0) {
    throw RideFailure("the stand-in host had no room for the plugin's script or keyboard handler");
  }
  ride.record.endMs = ride.elapsed;
  std::printf("\nThe ride took %.3f s.\n", ride.elapsed / 1000.0);
  return ride.record;
}

// --- The command line.

struct Options {
  bool swatches = false;   // --swatches
  std::string svg;         // --svg FILE, or empty
  std::string name;        // --name NAME, or empty: RIDE is the ride itself
  std::string relativeTo;  // --relative-to FOLDER, or empty: RIDE's folder
  std::string folder;      // --folder FOLDER
  std::string plugin;      // PLUGIN
  std::string ride;        // RIDE
};

bool readOptions(const std::vector<std::string>& arguments, Options& options) {
  std::vector<std::string> positional;
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == "--swatches") {
      options.swatches = true;
    } else if (arguments[i] == "--svg" && i + 1 < arguments.size()) {
      options.svg = arguments[++i];
    } else if (arguments[i] == "--name" && i + 1 < arguments.size()) {
      options.name = arguments[++i];
    } else if (arguments[i] == "--relative-to" && i + 1 < arguments.size()) {
      options.relativeTo = arguments[++i];
    } else if (arguments[i] == "--folder" && i + 1 < arguments.size()) {
      options.folder = arguments[++i];
    } else {
      positional.push_back(arguments[i]);
    }
  }
  if (positional.size() != 2 || options.folder.empty() ||
      options.name.empty() != options.relativeTo.empty()) {
    return false;
  }
  options.plugin = positional[0];
  options.ride = positional[1];
  return true;
}

// The whole run: 0, or 2 for a ride that cannot be played, or 1 for a
// failure on the way (thrown as RideFailure).
int run() {
  Options options;
  if (!readOptions(utf8Arguments(), options)) {
    std::fprintf(stderr,
                 "usage: ride.exe [--swatches] [--svg FILE] [--name NAME --relative-to FOLDER] "
                 "--folder FOLDER PLUGIN RIDE\n");
    return 2;
  }
  // The ride as its user named it, and its last name, after the last slash
  // only when a Linux name is given: there a backslash is a letter.
  const bool copy = !options.name.empty();
  const std::string& name = copy ? options.name : options.ride;
  const std::string title = copy ? name.substr(name.rfind('/') + 1) : lastName(name);
  std::string folder = copy ? options.relativeTo : folderOf(options.ride);
  if (copy && folder.back() != '/' && folder.back() != '\\') {
    folder += '/';
  }
  std::vector<Step> steps;
  try {
    std::string bytes;
    try {
      // A ride Windows could not open by its name is refused, so that it
      // plays alike wherever it is played.
      refuseDeviceName(name);
      bytes = readPlainFile(options.ride, LargestRide);
    } catch (const ScriptError& why) {
      throw ScriptError(printable(name) + ":1: not a ride script: " + why.what());
    }
    steps = parseRide(printable(name), folder, bytes);
  } catch (const ScriptError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 2;
  }
  const RideRecord record =
      playRide(steps, options.folder, options.plugin, printable(title), options.swatches);
  if (!options.svg.empty() && !writePicture(record, fileName(windowsPath(options.svg)))) {
    throw RideFailure("cannot write the picture " + options.svg);
  }
  return 0;
}

}  // namespace

int main() {
  // Plain "\n" line ends: the trace and the errors are read on Linux.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  int status = 1;
  try {
    status = run();
  } catch (const std::exception& failure) {  // RideFailure, or out of memory
    std::fflush(stdout);
    std::fprintf(stderr, "error: %s\n", failure.what());
  }
  std::fflush(stdout);
  return status;
}
