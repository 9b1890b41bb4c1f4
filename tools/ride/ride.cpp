// The ride tool, which play.sh runs under Wine:  ride.exe PLUGIN FOLDER < RIDE
// Plays the ride on standard input against PLUGIN through the stand-in host,
// in FOLDER, where the plugin reads Quillmere.ini and the settings-file step
// on line N finds its file copied as settings-N: it opens no file a ride
// names. Writes a trace, then the picture from its line "<svg " on. With
// --settings-files instead of PLUGIN FOLDER, it reads the ride and lists
// those steps, "LINE PATH" a line, for play.sh to copy. A ride that cannot
// be played: "LINE: what is wrong", status 2, nothing played; an expect step
// that fails: "LINE: expected ..., got ...", status 1, after the trace and
// the picture so far; any other failure: "error: ...", status 1.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "standins/scripthookv_dll/scripthookv_dll.h"
#include "tests/common/neon_colour.h"
#include "tests/common/player_facts.h"
#include "tools/wine/windows_path.h"

namespace {

// A heading of the ride script's.
struct NoteRecord {
  std::uint32_t ms;     // when it stands
  std::string heading;  // its text: UTF-8 with no control character
};

// A key, and when it was down: [from, to) ms, to UINT32_MAX while it stays down.
struct KeyRecord {
  std::uint32_t code;                                         // Windows virtual-key code
  std::vector<std::pair<std::uint32_t, std::uint32_t>> down;  // in time order
};

// A stretch of frames in which a vehicle had one neon colour: [from, to) ms.
struct ColourRecord {
  std::uint32_t from, to;
  NeonColour colour;
};

// A colour the plugin set, as the host's record of its native calls shows it.
struct PluginSetRecord {
  std::uint32_t ms;   // the frame's time
  int vehicle;        // by number
  NeonColour colour;  // what it set
  bool switched;      // on the vehicle the player sat in: a switch, not a colour put back
};

// The whole ride, as it plays. Invariant: every list is in time order.
struct Ride {
  std::string folder;                                      // as Windows names it
  std::uint32_t elapsed = 0;                               // ms since the ride began
  std::vector<NoteRecord> notes;                           // its headings
  std::vector<KeyRecord> keys;                             // in the order they were first used
  std::vector<ColourRecord> neon[StandinMaxVehicles + 1];  // by vehicle, from its first frame
  std::vector<PluginSetRecord> sets;                       // every colour the plugin set
};

std::string colourText(const NeonColour& c) {  // "R,G,B"
  return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
}

constexpr struct NamedKey {
  const char* name;
  std::uint32_t code;
} NamedKeys[] = {{"Tab", 9},     {"Enter", 13},  {"Shift", 16},   {"Ctrl", 17},
                 {"Alt", 18},    {"Space", 32},  {"LShift", 160}, {"RShift", 161},
                 {"LCtrl", 162}, {"RCtrl", 163}, {"LAlt", 164},   {"RAlt", 165}};
constexpr std::uint32_t F1 = 112;  // F1 to F12 are 112 to 123

// A key as a ride names it: "N", "7", "F1", "Ctrl", or "code:200".
std::string keyName(std::uint32_t code) {
  if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9')) {
    return std::string(1, static_cast<char>(code));
  }
  if (code >= F1 && code < F1 + 12) {
    return "F" + std::to_string(code - F1 + 1);
  }
  const auto* named = std::ranges::find(NamedKeys, code, &NamedKey::code);
  return named != std::end(NamedKeys) ? named->name : "code:" + std::to_string(code);
}

constexpr std::uint32_t FrameMs = 16;           // about 60 frames a second
constexpr std::uint32_t StartTick = 5'000'000;  // an ordinary tick, far from the wrap
constexpr std::uint32_t LongestRideMs = 86'400'000;
constexpr std::size_t LargestRide = 16 << 20;  // bytes
constexpr GameHandle PlayerCharacter = 0x100;
constexpr GameHandle VehicleHandleBase = 0x1000;  // vehicle N is handle base + N

// A step that cannot be played, read before anything plays; or, while the
// ride plays, an expect step that does not hold.
struct ScriptError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

using Play = std::function<void(Ride&)>;

StandinWorld& world() { return standinState()->world; }
GameHandle handleOf(int vehicle) { return VehicleHandleBase + vehicle; }

// "   2.144 s  player  presses N (78)", and with `colours` every vehicle's.
void trace(const Ride& ride, const char* who, const std::string& what, bool colours = false) {
  colours = colours && world().vehicleCount > 0;
  std::printf("%8.3f s  %-7s %-*s", ride.elapsed / 1000.0, who, colours ? 50 : 0, what.c_str());
  for (int n = 1; colours && n <= StandinMaxVehicles; ++n) {
    if (const StandinVehicle* vehicle = worldFindVehicle(world(), handleOf(n))) {
      const NeonColour& neon = vehicle->neon;
      std::printf("  vehicle %d %3d,%3d,%3d", n, neon.red, neon.green, neon.blue);
    }
  }
  std::printf("\n");
}

// One frame: the host resumes the plugin's script once. The world is
// recorded when it differs from the last record, and the colours the plugin
// set, from the host's record of its native calls, are traced.
void playFrame(Ride& ride) {
  StandinDllState& host = *standinState();
  standinSetClock(StartTick + ride.elapsed);
  host.natives.count = 0;
  standinRunFrames(1);
  for (int i = 0; i < host.world.vehicleCount; ++i) {
    const NeonColour& now = host.world.vehicles[i].neon;
    auto& stretches = ride.neon[host.world.vehicles[i].handle - VehicleHandleBase];
    if (stretches.empty() || stretches.back().colour != now) {
      stretches.push_back({ride.elapsed, ride.elapsed, now});
    }
    stretches.back().to = ride.elapsed + FrameMs;
  }
  for (int i = 0; i < host.natives.count && i < NativeLogSize; ++i) {
    const NativeCallRecord& call = host.natives.log[i];
    const auto low32 = [&call](int at) { return static_cast<std::int32_t>(call.args[at]); };
    if (call.hash != GameNatives::NeonColourSetter || call.argCount != 4) {
      continue;
    }
    const NeonColour colour{low32(1), low32(2), low32(3)};
    ride.sets.push_back(
        {ride.elapsed, low32(0) - VehicleHandleBase, colour, low32(0) == host.world.occupied});
    const PluginSetRecord& set = ride.sets.back();
    std::string what = "puts vehicle " + std::to_string(set.vehicle) + "'s colour back";
    if (set.switched) {
      std::string keys;
      for (const KeyRecord& key : ride.keys) {
        if (!key.down.empty() && key.down.back().second == UINT32_MAX) {
          keys += (keys.empty() ? "" : ", ") + keyName(key.code);
        }
      }
      what = "switches vehicle " + std::to_string(set.vehicle) +
             (set.colour == Dark ? " dark (" : " lit (") + (keys.empty() ? "no key" : keys) +
             " down)";
    }
    trace(ride, "plugin", what + ": sets " + colourText(set.colour), true);
  }
}

void writeSettings(const Ride& ride, const std::string& bytes, const std::string& shown) {
  std::ofstream out(fileName(ride.folder + "\\" + IniFileName), std::ios::binary);
  if (!(out << bytes) || !out.flush()) {
    throw std::runtime_error("cannot write " + ride.folder + "\\" + IniFileName);
  }
  trace(ride, "ride", "writes Quillmere.ini: " + shown);
}

// --- Reading the ride: every step checked before anything plays.

struct Step {
  int line;
  Play play;
};

// What reading keeps from line to line, to refuse what cannot be played.
struct Reading {
  int line = 0;                 // the line being read
  std::uint32_t elapsedMs = 0;  // the waits so far: at most LongestRideMs
  int occupied = 0;             // the vehicle the player sits in, 0 on foot
  std::optional<NeonColour> own[StandinMaxVehicles + 1];  // each vehicle's own colour, once given
  std::string settingsFiles;                              // each settings-file step's "LINE PATH\n"
  std::vector<Step> steps;                                // what it plays, so far
};
using Words = std::vector<std::string>;  // a line's words after its step's name

std::string inQuotes(const std::string& text) {  // cut to 40 bytes
  return "'" + text.substr(0, 40) + (text.size() > 40 ? "'..." : "'");
}

std::string lower(std::string text) {
  std::ranges::transform(text, text.begin(),
                         [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
  return text;
}

std::uint32_t wholeNumber(const std::string& word, std::uint32_t low, std::uint32_t high,
                          const std::string& what) {
  std::uint64_t value = word.empty() ? high + 1ull : 0;
  for (char c : word) {
    value = c >= '0' && c <= '9' && value <= high ? value * 10 + (c - '0') : high + 1ull;
  }
  if (value < low || value > high) {
    throw ScriptError(what + " must be a whole number from " + std::to_string(low) + " to " +
                      std::to_string(high) + ", not " + inQuotes(word));
  }
  return static_cast<std::uint32_t>(value);
}

NeonColour colourOf(const std::string& word) {
  if (std::ranges::count(word, ',') != 2) {
    throw ScriptError("a colour is R,G,B (three numbers from 0 to 255), not " + inQuotes(word));
  }
  std::istringstream in(word);
  const auto channel = [&in] {
    std::string part;
    std::getline(in, part, ',');
    return static_cast<std::int32_t>(wholeNumber(part, 0, 255, "a colour's part"));
  };
  return {channel(), channel(), channel()};  // in order: a braced list is read left to right
}

// A key as keyName names it, in any letter case, or code:N for any code. A
// bare number is refused: "7" would be both the 7 key and code 7.
std::uint32_t keyCode(const std::string& word) {
  if (lower(word).starts_with("code:")) {
    return wholeNumber(word.substr(5), 0, HighestKeyCode, "a key code");
  }
  for (std::uint32_t code = 0; code <= HighestKeyCode; ++code) {
    if (lower(word) == lower(keyName(code))) {
      return code;
    }
  }
  throw ScriptError(inQuotes(word) +
                    " is not a key: a letter, a digit, F1-F12, Shift, Ctrl, Alt, "
                    "..., or a key code as code:78");
}

Play board(const Words& words, const std::string&, Reading& reading, bool fromAnother) {
  const int vehicle = static_cast<int>(wholeNumber(words[0], 1, StandinMaxVehicles, "a vehicle"));
  std::optional<NeonColour> colour;
  if (words.size() == 2) {
    reading.own[vehicle] = colour = colourOf(words[1]);
  } else if (!reading.own[vehicle]) {
    throw ScriptError("vehicle " + words[0] + " is new: give its neon colour as R,G,B");
  }
  if (reading.occupied == vehicle || (!fromAnother && reading.occupied != 0)) {
    throw ScriptError("the player already sits in vehicle " + std::to_string(reading.occupied) +
                      (fromAnother ? "" : ": get-out first, or move-into"));
  }
  if (fromAnother && reading.occupied == 0) {
    throw ScriptError("the player is on foot: get-in first");
  }
  reading.occupied = vehicle;
  return [vehicle, colour, fromAnother](Ride& ride) {
    if (colour) {
      worldAddVehicle(world(), handleOf(vehicle), *colour);
    }
    world().occupied = handleOf(vehicle);
    trace(ride, "player",
          (fromAnother ? "moves into vehicle " : "gets in vehicle ") + std::to_string(vehicle),
          true);
  };
}

// A key event as a game window's message gives it: a press was up before, a
// release was down before.
Play key(const Words& words, const std::string&, Reading&, bool down) {
  const std::uint32_t code = keyCode(words[0]);
  return [code, down](Ride& ride) {
    standinSetClock(StartTick + ride.elapsed);
    standinPostKey(code, 1, 0, 0, 0, down ? 0 : 1, down ? 0 : 1);
    standinWaitForKeys();
    const auto known = std::ranges::find(ride.keys, code, &KeyRecord::code);
    auto& stretches =
        (known != ride.keys.end() ? *known : ride.keys.emplace_back(KeyRecord{code, {}})).down;
    const bool wasDown = !stretches.empty() && stretches.back().second == UINT32_MAX;
    if (down && !wasDown) {
      stretches.emplace_back(ride.elapsed, UINT32_MAX);
    } else if (!down && wasDown) {
      stretches.back().second = ride.elapsed;
    }
    trace(ride, "player",
          (down ? "presses " : "releases ") + keyName(code) + " (" + std::to_string(code) + ")");
  };
}

// The neon of a vehicle after the last frame played: dark, lit (its own
// colour) or a colour.
Play expect(const Words& words, const std::string&, Reading& reading, bool) {
  const int vehicle = static_cast<int>(wholeNumber(words[0], 1, StandinMaxVehicles, "a vehicle"));
  if (!reading.own[vehicle]) {
    throw ScriptError("vehicle " + words[0] + " has not appeared yet");
  }
  const std::string said = lower(words[1]);
  const bool named = said == "lit" || said == "dark";
  const NeonColour wanted = !named          ? colourOf(words[1])
                            : said == "lit" ? *reading.own[vehicle]
                                            : Dark;
  if (said == "lit" && wanted == Dark) {
    throw ScriptError("vehicle " + words[0] + "'s own colour is dark: expect it as 0,0,0");
  }
  const std::string shown = named ? said + " (" + colourText(wanted) + ")" : colourText(wanted);
  return [vehicle, wanted, shown](Ride&) {
    const NeonColour got = worldFindVehicle(world(), handleOf(vehicle))->neon;
    if (got != wanted) {
      throw ScriptError("expected vehicle " + std::to_string(vehicle) + " " + shown + ", got " +
                        colourText(got));
    }
  };
}

Play note(const Words&, const std::string& rest, Reading&, bool) {
  return [rest](Ride& ride) {
    ride.notes.push_back({ride.elapsed, rest});
    std::printf("\n-- %s\n", rest.c_str());
  };
}

// The settings file's [keys], each NAME=VALUE as written, whatever it is.
Play settings(const Words& words, const std::string& rest, Reading&, bool) {
  std::string text = std::string("[") + IniSection + "]\r\n";
  for (const std::string& word : words) {
    if (word.find('=') == 0 || word.find('=') == std::string::npos) {
      throw ScriptError(std::string("settings take NAME=VALUE, such as ") + IniMainKey + "=" +
                        std::to_string(DefaultKey) + ", not " + inQuotes(word));
    }
    text += word + "\r\n";
  }
  return [text, rest](Ride& ride) { writeSettings(ride, text, rest.empty() ? "no key" : rest); };
}

Play settingsFile(const Words& words, const std::string&, Reading& reading, bool) {
  reading.settingsFiles += std::to_string(reading.line) + " " + words[0] + "\n";
  return [copy = "\\settings-" + std::to_string(reading.line), named = words[0]](Ride& ride) {
    std::ifstream in(fileName(ride.folder + copy), std::ios::binary);
    if (!in) {
      throw std::runtime_error("no copy of the settings file " + named + " in " + ride.folder);
    }
    writeSettings(ride, {std::istreambuf_iterator<char>(in), {}}, "a copy of " + named);
  };
}

Play getOut(const Words&, const std::string&, Reading& reading, bool) {
  if (reading.occupied == 0) {
    throw ScriptError("the player is on foot already");
  }
  reading.occupied = 0;
  return [](Ride& ride) {
    world().occupied = 0;
    trace(ride, "player", "gets out");
  };
}

Play wait(const Words& words, const std::string&, Reading& reading, bool) {
  const std::uint32_t ms = wholeNumber(words[0], 1, LongestRideMs, "a wait");
  if (ms > LongestRideMs - reading.elapsedMs) {
    throw ScriptError("the ride would last more than a day (" + std::to_string(LongestRideMs) +
                      " ms) here, after " + std::to_string(reading.elapsedMs) + " ms");
  }
  reading.elapsedMs += ms;
  return [ms](Ride& ride) {
    for (std::uint32_t waited = 0; waited < ms; waited += FrameMs, ride.elapsed += FrameMs) {
      playFrame(ride);
    }
  };
}

Play restart(const Words&, const std::string&, Reading&, bool) {
  return [](Ride& ride) {
    standinRestartScripts();
    trace(ride, "host", "restarts the plugin's script");
  };
}

// Every step a ride may take, a row each: its name (in any letter case), what
// follows it, how many words, how it is read into what it plays, and a flag
// for that.
constexpr std::size_t Any = 1000;
constexpr struct {
  const char* name;
  const char* usage;
  std::size_t fewestWords, mostWords;
  Play (*read)(const Words&, const std::string& rest, Reading&, bool);
  bool flag;
} Steps[] = {
    {"note", "TEXT", 0, Any, note, false},
    {"settings", "[NAME=VALUE...]", 0, Any, settings, false},
    {"settings-file", "PATH", 1, 1, settingsFile, false},
    {"get-in", "VEHICLE [R,G,B]", 1, 2, board, false},
    {"move-into", "VEHICLE [R,G,B]", 1, 2, board, true},  // from the vehicle the player is in
    {"get-out", "", 0, 0, getOut, false},
    {"key-down", "KEY", 1, 1, key, true},
    {"key-up", "KEY", 1, 1, key, false},
    {"wait", "MILLISECONDS", 1, 1, wait, false},
    {"restart", "", 0, 0, restart, false},
    {"expect", "VEHICLE dark|lit|R,G,B", 2, 2, expect, false},
};

// Whether `text` is UTF-8 with no control character but a tab, and none XML
// refuses: what the trace and the picture show as it is.
bool plainText(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  const int size = static_cast<int>(text.size());
  wide.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), size)));
  return (!wide.empty() || text.empty()) && std::ranges::none_of(wide, [](wchar_t c) {
           return (c < 0x20 && c != L'\t') || (c >= 0x7F && c <= 0x9F) || c == 0xFFFE ||
                  c == 0xFFFF;
         });
}

// Reads a whole ride into reading.steps: a UTF-8 byte-order mark skipped,
// lines ending in LF or CRLF, '#' starting a comment. Throws ScriptError(what
// is wrong) at the line reading.line, or at line 1 before any.
void readRide(const std::string& bytes, Reading& reading) {
  if (bytes.size() > LargestRide) {
    throw ScriptError("not a ride script: over " + std::to_string(LargestRide) + " bytes");
  }
  std::istringstream in(bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes);
  for (std::string text; std::getline(in, text);) {
    ++reading.line;
    if (text.ends_with('\r')) {
      text.pop_back();
    }
    if (!plainText(text)) {
      throw ScriptError("not UTF-8 text, or it holds a control character");
    }
    std::istringstream line(text.substr(0, text.find('#')));
    std::string name;
    std::string rest;  // what follows the step's name, blanks at both ends dropped
    std::getline(line >> name >> std::ws, rest);
    rest.erase(rest.find_last_not_of(" \t") + 1);
    std::istringstream restWords(rest);
    const Words words{std::istream_iterator<std::string>(restWords), {}};
    std::string known;
    for (const auto& step : Steps) {
      known += (known.empty() ? "" : ", ") + std::string(step.name);
      if (lower(name) == step.name &&
          (words.size() < step.fewestWords || words.size() > step.mostWords)) {
        throw ScriptError(std::string("usage: ") + step.name + (*step.usage ? " " : "") +
                          step.usage);
      } else if (lower(name) == step.name) {
        reading.steps.push_back({reading.line, step.read(words, rest, reading, step.flag)});
        known.clear();
        break;
      }
    }
    if (!name.empty() && !known.empty()) {
      throw ScriptError("unknown step " + inQuotes(name) + " (known: " + known + ")");
    }
  }
  if (reading.steps.empty()) {
    throw ScriptError("nothing to play (no steps, only blank lines and comments)");
  }
}

// --- The picture.

// The layout, in pixels. The time axis runs from PlotLeft for PlotWidth.
constexpr int PlotLeft = 130;
constexpr int PlotWidth = 800;
constexpr int LanesTop = 84;
constexpr int VehicleLaneHeight = 36;  // the marks' row, then the colour strip
constexpr int MarkRowHeight = 8;       // a put-back's triangle
constexpr int StripHeight = 20;
constexpr int KeyLaneHeight = 24;  // a bar while the key is down
constexpr int LineHeight = 18;     // of the notes' list and the legend

constexpr const char* Ink = "#1a1a1a";
constexpr const char* KeyBar = R"(fill="#2f6db5")";

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  const std::string out = text;
  return out.ends_with(".0") ? out.substr(0, out.size() - 2) : out;
}

// Text as SVG holds it (readRide lets through only UTF-8 that XML allows).
std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
  }
  return out;
}

std::string fill(const NeonColour& colour) {  // outlined when dark, to show on dark ink
  return "fill=\"rgb(" + colourText(colour) + ")\"" +
         (colour == Dark ? R"( stroke="#8c8c8c")" : "");
}

void rect(std::ostream& svg, double x, int y, double width, int height, const std::string& look) {
  svg << R"(<rect x=")" << number(x) << R"(" y=")" << y << R"(" width=")"
      << number(std::max(width, 0.1)) << R"(" height=")" << height << "\" " << look << "/>\n";
}

void text(std::ostream& svg, double x, int y, const std::string& content,
          const std::string& look = "") {
  svg << R"(<text x=")" << number(x) << R"(" y=")" << y << "\" " << look << ">" << escaped(content)
      << "</text>\n";
}

// A colour put back: a triangle in the marks' row, pointing down at the strip.
void putBack(std::ostream& svg, double x, int top, const std::string& more = "") {
  svg << R"(<path d="M)" << number(x - 5) << " " << top << "h10l-5 " << MarkRowHeight
      << R"(z" fill="#d9480f" shape-rendering="geometricPrecision" )" << more << "/>\n";
}

// The ride as an SVG picture, from a line "<svg " on: a lane
// per vehicle, its neon colour frame by frame (a run of one colour is one
// rectangle: the picture grows with what happens, not with its frames) and a
// triangle at each colour put back; a lane per key, a bar while it is down;
// the notes as numbered sections of the time axis. Its data- attributes give
// a check of the rendered picture its layout: the time axis (data-plot-left,
// data-plot-width, data-ride-ms), each lane's strip and marks' row
// (data-strip-top, data-strip-height, data-marks-top), each put-back's data-ms.
std::string picture(const Ride& ride) {
  const std::uint32_t rideMs = std::max<std::uint32_t>(ride.elapsed, 1);
  const auto x = [rideMs](std::uint64_t ms) { return PlotLeft + double(ms) * PlotWidth / rideMs; };
  std::ostringstream svg;
  std::string description = "Each vehicle's neon colour over the " + number(ride.elapsed / 1000.0) +
                            " s of a ride, frame by frame, as the stand-in world held it, with the "
                            "keys the player held down.";
  // The notes, under the lanes: a number above, a dashed line through them.
  const auto vehicles = std::ranges::count_if(ride.neon, [](auto& lane) { return !lane.empty(); });
  int top = LanesTop + static_cast<int>(vehicles) * VehicleLaneHeight +
            static_cast<int>(ride.keys.size()) * KeyLaneHeight;
  for (std::size_t i = 0; i < ride.notes.size(); ++i) {
    svg << R"(<path d="M)" << number(x(ride.notes[i].ms)) << " 58V" << top
        << R"(" stroke="#b8b8b8" stroke-dasharray="3 3"/>)" << '\n';
    text(svg, x(ride.notes[i].ms) + 3, 71, std::to_string(i + 1), R"(font-weight="bold")");
  }
  top = LanesTop;
  for (int vehicle = 1; vehicle <= StandinMaxVehicles; ++vehicle) {
    if (ride.neon[vehicle].empty()) {
      continue;
    }
    svg << R"(<g id="vehicle-)" << vehicle << R"(" data-marks-top=")" << top
        << R"(" data-strip-top=")" << top + MarkRowHeight << R"(" data-strip-height=")"
        << StripHeight << R"(" shape-rendering="crispEdges">)" << '\n';
    text(svg, PlotLeft - 10, top + MarkRowHeight + 15, "vehicle " + std::to_string(vehicle),
         R"(text-anchor="end")");
    for (const ColourRecord& run : ride.neon[vehicle]) {
      rect(svg, x(run.from), top + MarkRowHeight, x(run.to) - x(run.from), StripHeight,
           fill(run.colour));
    }
    int switches = 0;
    int putBacks = 0;
    for (const PluginSetRecord& set : ride.sets) {
      if (set.vehicle == vehicle && set.switched) {
        ++switches;
      } else if (set.vehicle == vehicle) {
        ++putBacks;
        putBack(svg, x(set.ms), top,
                R"(class="put-back" data-ms=")" + std::to_string(set.ms) + "\"");
      }
    }
    description += " Vehicle " + std::to_string(vehicle) + ": " + std::to_string(switches) +
                   (switches == 1 ? " switch" : " switches") + " by the plugin, " +
                   std::to_string(putBacks) + (putBacks == 1 ? " colour" : " colours") +
                   " put back by it.";
    svg << "</g>\n";
    top += VehicleLaneHeight;
  }
  for (const KeyRecord& key : ride.keys) {
    text(svg, PlotLeft - 10, top + 16, "key " + keyName(key.code), R"(text-anchor="end")");
    for (const auto& [from, to] : key.down) {
      rect(svg, x(from), top + 7, x(std::min(to, ride.elapsed)) - x(from), 10, KeyBar);
    }
    top += KeyLaneHeight;
  }
  // The time axis, a labelled tick at each round step, at most about 16.
  top += 6;
  svg << R"(<path d="M)" << PlotLeft << " " << top << "h" << PlotWidth << R"(" stroke=")" << Ink
      << "\"/>\n";
  std::uint32_t step = 100;  // ms: 100, 200, 500, 1 000, 2 000, 5 000, ...
  for (int i = 0; rideMs / step > 16; ++i) {
    step = i % 3 == 1 ? step * 5 / 2 : step * 2;
  }
  for (std::uint64_t ms = 0; ms <= rideMs; ms += step) {
    svg << R"(<path d="M)" << number(x(ms)) << " " << top << R"(v5" stroke=")" << Ink << "\"/>\n";
    text(svg, x(ms), top + 18, number(static_cast<double>(ms) / 1000.0), R"(text-anchor="middle")");
  }
  text(svg, PlotLeft + PlotWidth / 2.0, top + 36, "time from the ride's start (s)",
       R"(text-anchor="middle")");
  top += 42;
  for (std::size_t i = 0; i < ride.notes.size(); ++i) {
    top += LineHeight;
    text(svg, PlotLeft, top, std::to_string(i + 1), R"(font-weight="bold")");
    text(svg, PlotLeft + 22, top, ride.notes[i].heading);
    description += " Section " + std::to_string(i + 1) + " at " +
                   number(ride.notes[i].ms / 1000.0) + " s: " + ride.notes[i].heading;
  }
  top += LineHeight + 10;  // the legend
  rect(svg, PlotLeft, top - 11, 24, 12, fill({255, 0, 128}));
  text(svg, PlotLeft + 30, top, "neon colour");
  rect(svg, PlotLeft + 130, top - 11, 24, 12, fill({0, 0, 0}));
  text(svg, PlotLeft + 160, top, "dark (0,0,0)");
  rect(svg, PlotLeft + 260, top - 10, 24, 10, KeyBar);
  text(svg, PlotLeft + 290, top, "key down");
  putBack(svg, PlotLeft + 392, top - 12);
  text(svg, PlotLeft + 410, top, "the plugin puts the colour back on a vehicle left");
  top += 14;

  const std::string title = "Quillmere: a ride, neon colour over time";
  std::ostringstream out;
  out << R"(<svg xmlns="http://www.w3.org/2000/svg" width="960" height=")" << top
      << R"(" viewBox="0 0 960 )" << top
      << R"(" role="img" aria-labelledby="title desc" data-plot-left=")" << PlotLeft
      << R"(" data-plot-width=")" << PlotWidth << R"(" data-ride-ms=")" << rideMs << "\">\n"
      << R"(<title id="title">)" << title << "</title>\n<desc id=\"desc\">" << escaped(description)
      << "</desc>\n<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n"
      << R"(<g font-family="DejaVu Sans, Verdana, Arial, sans-serif" font-size="12" fill=")" << Ink
      << "\">\n";
  text(out, PlotLeft, 28, title, R"(font-size="17" font-weight="bold")");
  text(out, PlotLeft, 47,
       "a lane per vehicle, its neon colour frame by frame as the stand-in world holds it; a lane "
       "per key");
  return out.str() + svg.str() + "</g>\n</svg>\n";
}

int run() {
  const std::vector<std::string> arguments = utf8Arguments();
  const bool listing = arguments.size() == 2 && arguments[1] == "--settings-files";
  if (arguments.size() != 3 && !listing) {
    std::fprintf(stderr, "usage: ride.exe PLUGIN FOLDER < RIDE, or --settings-files < RIDE\n");
    return 2;
  }
  std::string bytes(LargestRide + 1, '\0');
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), stdin));
  Reading reading;
  try {
    readRide(bytes, reading);
  } catch (const ScriptError& error) {
    std::fprintf(stderr, "%d: %s\n", std::max(reading.line, 1), error.what());
    return 2;
  }
  if (listing) {
    std::fputs(reading.settingsFiles.c_str(), stdout);
    return 0;
  }
  Ride ride;
  ride.folder = windowsPath(arguments[2]);
  const std::string plugin = windowsPath(arguments[1]);
  standinReset(StartTick);
  world().player = PlayerCharacter;
  if (SetCurrentDirectoryW(fileName(ride.folder).wstring().c_str()) == 0) {
    throw std::runtime_error("cannot make " + ride.folder + " the current folder");
  }
  if (standinLoadPlugin(plugin.c_str(), StandinTestClock) == 0) {
    throw std::runtime_error("cannot load the plugin " + plugin +
                             " (not a DLL for this machine, or it does not import GetTickCount)");
  }
  std::printf(
      "Playing a ride, a frame every %u ms. The plugin reads its settings when the host\n"
      "starts its script: on the first frame and on each restart.\n\n%8s    %-7s %-50s%s\n",
      static_cast<unsigned>(FrameMs), "time", "who", "what", "neon colours (red,green,blue)");
  std::string failed;
  for (const Step& step : reading.steps) {
    try {
      step.play(ride);
    } catch (const ScriptError& failure) {
      failed = std::to_string(step.line) + ": " + failure.what() + "\n";
      break;
    }
  }
  standinUnloadPlugin();
  std::printf("\nThe ride took %.3f s.\n", ride.elapsed / 1000.0);
  std::fputs(picture(ride).c_str(), stdout);
  std::fputs(failed.c_str(), stderr);
  return failed.empty() ? 0 : 1;
}

}  // namespace

int main() {
  // Bytes as they are, and "\n" line ends: all of it is read and written on Linux.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  try {
    return run();
  } catch (const std::exception& failure) {
    std::fflush(stdout);
    std::fprintf(stderr, "error: %s\n", failure.what());
    return 1;
  }
}
