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
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
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
  bool held() const { return !down.empty() && down.back().second == UINT32_MAX; }
};

// A stretch of frames in which a vehicle had one neon colour: [from, to) ms.
struct ColourRecord {
  std::uint32_t from, to;
  NeonColour colour;
};

// A vehicle's lane: its neon colour by frame, and the colours the host saw the plugin set on it.
struct VehicleRecord {
  std::vector<ColourRecord> neon;       // from its first frame
  int switches = 0;                     // colours set while the player sat in it
  std::vector<std::uint32_t> putBacks;  // when its colour was put back, the player gone
};

// The ride, as it is read and as it plays. Invariant: every list is in time order.
struct Ride {
  bool playing = false;                   // read to be played, not only checked
  std::string folder;                     // as Windows names it
  std::uint32_t elapsed = 0;              // ms played since the ride began
  std::vector<NoteRecord> notes;          // its headings
  std::vector<KeyRecord> keys;            // in the order they were first used
  std::map<int, VehicleRecord> vehicles;  // by number
  // What reading keeps from line to line, to refuse what cannot be played.
  int line = 0;              // the line being read
  int steps = 0;             // the steps read so far
  std::uint32_t waited = 0;  // the waits so far: at most LongestRideMs
  int occupied = 0;          // the vehicle the player sits in, 0 on foot
  std::optional<NeonColour> own[StandinMaxVehicles + 1];  // each vehicle's own colour, once given
  std::string settingsFiles;                              // each settings-file step's "LINE PATH\n"
};

std::string colourText(const NeonColour& c) {  // "R,G,B"
  return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
}

const std::map<std::uint32_t, std::string> NamedKeys = {
    {9, "Tab"},      {13, "Enter"},   {16, "Shift"},  {17, "Ctrl"},   {18, "Alt"},   {32, "Space"},
    {112, "F1"},     {113, "F2"},     {114, "F3"},    {115, "F4"},    {116, "F5"},   {117, "F6"},
    {118, "F7"},     {119, "F8"},     {120, "F9"},    {121, "F10"},   {122, "F11"},  {123, "F12"},
    {160, "LShift"}, {161, "RShift"}, {162, "LCtrl"}, {163, "RCtrl"}, {164, "LAlt"}, {165, "RAlt"}};

// A key as a ride names it: "N", "7", "F1", "Ctrl", or "code:200".
std::string keyName(std::uint32_t code) {
  if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9')) {
    return std::string(1, static_cast<char>(code));
  }
  const auto named = NamedKeys.find(code);
  return named != NamedKeys.end() ? named->second : "code:" + std::to_string(code);
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

// Stops the ride, saying `what` is wrong, if `wrong`: every check a ride must pass.
void stopIf(bool wrong, const std::string& what) {
  if (wrong) {
    throw ScriptError(what);
  }
}

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
    auto& stretches = ride.vehicles[host.world.vehicles[i].handle - VehicleHandleBase].neon;
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
    const int vehicle = low32(0) - VehicleHandleBase;
    const NeonColour colour{low32(1), low32(2), low32(3)};
    std::string what = "puts vehicle " + std::to_string(vehicle) + "'s colour back";
    if (low32(0) != host.world.occupied) {
      ride.vehicles[vehicle].putBacks.push_back(ride.elapsed);
    } else {
      ++ride.vehicles[vehicle].switches;
      std::string keys;
      for (const KeyRecord& key : ride.keys) {
        if (key.held()) {
          keys += (keys.empty() ? "" : ", ") + keyName(key.code);
        }
      }
      what = "switches vehicle " + std::to_string(vehicle) +
             (colour == Dark ? " dark (" : " lit (") + (keys.empty() ? "no key" : keys) + " down)";
    }
    trace(ride, "plugin", what + ": sets " + colourText(colour), true);
  }
  ride.elapsed += FrameMs;
}

void writeSettings(const Ride& ride, const std::string& bytes, const std::string& shown) {
  std::ofstream out(IniFileName, std::ios::binary);  // in the ride's folder, the current one
  if (!(out << bytes) || !out.flush()) {
    throw std::runtime_error("cannot write " + ride.folder + "\\" + IniFileName);
  }
  trace(ride, "ride", "writes Quillmere.ini: " + shown);
}

// --- Reading the ride: once, every step checked before anything plays; then again, to play it.

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
  std::uint32_t value = 0;
  const auto [stop, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  stopIf(error != std::errc() || stop != word.data() + word.size() || value < low || value > high,
         what + " must be a whole number from " + std::to_string(low) + " to " +
             std::to_string(high) + ", not " + inQuotes(word));
  return value;
}

NeonColour colourOf(const std::string& word) {
  stopIf(std::ranges::count(word, ',') != 2,
         "a colour is R,G,B (three numbers from 0 to 255), not " + inQuotes(word));
  std::istringstream in(word);
  const auto channel = [&in] {
    std::string part;
    std::getline(in, part, ',');
    return static_cast<std::int32_t>(wholeNumber(part, 0, 255, "a colour's part"));
  };
  return {channel(), channel(), channel()};  // in order: a braced list is read left to right
}

// A key as keyName names it, in any letter case, or code:N for any code. A
// number names a digit's key ("7"), never a code: "78" is refused.
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

void board(const Words& words, const std::string&, Ride& ride, bool fromAnother) {
  const int vehicle = static_cast<int>(wholeNumber(words[0], 1, StandinMaxVehicles, "a vehicle"));
  if (words.size() == 2) {
    ride.own[vehicle] = colourOf(words[1]);
  }
  stopIf(!ride.own[vehicle], "vehicle " + words[0] + " is new: give its neon colour as R,G,B");
  stopIf(ride.occupied == vehicle || (!fromAnother && ride.occupied != 0),
         "the player already sits in vehicle " + std::to_string(ride.occupied) +
             (fromAnother ? "" : ": get-out first, or move-into"));
  stopIf(fromAnother && ride.occupied == 0, "the player is on foot: get-in first");
  ride.occupied = vehicle;
  if (ride.playing) {
    if (words.size() == 2) {
      worldAddVehicle(world(), handleOf(vehicle), *ride.own[vehicle]);
    }
    world().occupied = handleOf(vehicle);
    trace(ride, "player",
          (fromAnother ? "moves into vehicle " : "gets in vehicle ") + std::to_string(vehicle),
          true);
  }
}

// A key event as a game window's message gives it: a press was up before, a
// release was down before.
void key(const Words& words, const std::string&, Ride& ride, bool down) {
  const std::uint32_t code = keyCode(words[0]);
  if (ride.playing) {
    standinSetClock(StartTick + ride.elapsed);
    standinPostKey(code, 1, 0, 0, 0, down ? 0 : 1, down ? 0 : 1);
    standinWaitForKeys();
    const auto known = std::ranges::find(ride.keys, code, &KeyRecord::code);
    auto& record = known != ride.keys.end() ? *known : ride.keys.emplace_back(KeyRecord{code, {}});
    if (down && !record.held()) {
      record.down.emplace_back(ride.elapsed, UINT32_MAX);
    } else if (!down && record.held()) {
      record.down.back().second = ride.elapsed;
    }
    trace(ride, "player",
          (down ? "presses " : "releases ") + keyName(code) + " (" + std::to_string(code) + ")");
  }
}

// The neon of a vehicle after the last frame played: dark, lit (its own
// colour) or a colour.
void expect(const Words& words, const std::string&, Ride& ride, bool) {
  const int vehicle = static_cast<int>(wholeNumber(words[0], 1, StandinMaxVehicles, "a vehicle"));
  stopIf(!ride.own[vehicle], "vehicle " + words[0] + " has not appeared yet");
  const std::string said = lower(words[1]);
  const bool named = said == "lit" || said == "dark";
  const NeonColour wanted = !named ? colourOf(words[1]) : said == "lit" ? *ride.own[vehicle] : Dark;
  stopIf(said == "lit" && wanted == Dark,
         "vehicle " + words[0] + "'s own colour is dark: expect it as 0,0,0");
  const std::string shown = named ? said + " (" + colourText(wanted) + ")" : colourText(wanted);
  if (ride.playing) {
    const NeonColour got = worldFindVehicle(world(), handleOf(vehicle))->neon;
    stopIf(got != wanted, "expected vehicle " + std::to_string(vehicle) + " " + shown + ", got " +
                              colourText(got));
  }
}

void note(const Words&, const std::string& rest, Ride& ride, bool) {
  if (ride.playing) {
    ride.notes.push_back({ride.elapsed, rest});
    std::printf("\n-- %s\n", rest.c_str());
  }
}

// The settings file's [keys], each NAME=VALUE as written, whatever it is.
void settings(const Words& words, const std::string& rest, Ride& ride, bool) {
  std::string text = std::string("[") + IniSection + "]\r\n";
  for (const std::string& word : words) {
    stopIf(word.find('=') == 0 || word.find('=') == std::string::npos,
           std::string("settings take NAME=VALUE, such as ") + IniMainKey + "=" +
               std::to_string(DefaultKey) + ", not " + inQuotes(word));
    text += word + "\r\n";
  }
  if (ride.playing) {
    writeSettings(ride, text, rest.empty() ? "no key" : rest);
  }
}

void settingsFile(const Words& words, const std::string&, Ride& ride, bool) {
  ride.settingsFiles += std::to_string(ride.line) + " " + words[0] + "\n";
  if (ride.playing) {
    std::ifstream in("settings-" + std::to_string(ride.line), std::ios::binary);
    if (!in) {
      throw std::runtime_error("no copy of the settings file " + words[0] + " in " + ride.folder);
    }
    writeSettings(ride, {std::istreambuf_iterator<char>(in), {}}, "a copy of " + words[0]);
  }
}

void getOut(const Words&, const std::string&, Ride& ride, bool) {
  stopIf(ride.occupied == 0, "the player is on foot already");
  ride.occupied = 0;
  if (ride.playing) {
    world().occupied = 0;
    trace(ride, "player", "gets out");
  }
}

void wait(const Words& words, const std::string&, Ride& ride, bool) {
  const std::uint32_t ms = wholeNumber(words[0], 1, LongestRideMs, "a wait");
  stopIf(ms > LongestRideMs - ride.waited, "the ride would last more than a day (" +
                                               std::to_string(LongestRideMs) + " ms) here, after " +
                                               std::to_string(ride.waited) + " ms");
  ride.waited += ms;
  for (std::uint32_t waited = 0; ride.playing && waited < ms; waited += FrameMs) {
    playFrame(ride);
  }
}

void restart(const Words&, const std::string&, Ride& ride, bool) {
  if (ride.playing) {
    standinRestartScripts();
    trace(ride, "host", "restarts the plugin's script");
  }
}

// Every step a ride may take, a row each: its name (in any letter case), what
// follows it, how many words, and how it is read and played, with a flag.
constexpr struct StepKind {
  const char* name;
  const char* usage;
  std::size_t fewestWords, mostWords;
  void (*read)(const Words&, const std::string& rest, Ride&, bool);
  bool flag;
} Steps[] = {
    {"note", "TEXT", 0, SIZE_MAX, note, false},
    {"settings", "[NAME=VALUE...]", 0, SIZE_MAX, settings, false},
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

// Reads a whole ride, and plays it if ride.playing: a UTF-8 byte-order mark
// skipped, lines ending in LF or CRLF, '#' starting a comment. Returns what
// stopped it, "LINE: what is wrong" (at line 1 before any line), or nothing.
std::string readRide(const std::string& bytes, Ride& ride) try {
  stopIf(bytes.size() > LargestRide,
         "not a ride script: over " + std::to_string(LargestRide) + " bytes");
  std::string known;  // every step's name, for a line that names none
  for (const StepKind& step : Steps) {
    known += (known.empty() ? "" : ", ") + std::string(step.name);
  }
  std::istringstream in(bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes);
  for (std::string text; std::getline(in, text);) {
    ++ride.line;
    if (text.ends_with('\r')) {
      text.pop_back();
    }
    stopIf(!plainText(text), "not UTF-8 text, or it holds a control character");
    std::istringstream line(text.substr(0, text.find('#')));
    std::string name;
    std::string rest;  // what follows the step's name, blanks at both ends dropped
    std::getline(line >> name >> std::ws, rest);
    rest.erase(rest.find_last_not_of(" \t") + 1);
    std::istringstream restWords(rest);
    const Words words{std::istream_iterator<std::string>(restWords), {}};
    if (name.empty()) {
      continue;
    }
    const auto* step = std::ranges::find(Steps, lower(name), &StepKind::name);
    stopIf(step == std::end(Steps), "unknown step " + inQuotes(name) + " (known: " + known + ")");
    stopIf(words.size() < step->fewestWords || words.size() > step->mostWords,
           "usage: " + std::string(step->name) + (*step->usage ? " " : "") + step->usage);
    ++ride.steps;
    step->read(words, rest, ride, step->flag);
  }
  stopIf(ride.steps == 0, "nothing to play (no steps, only blank lines and comments)");
  return "";
} catch (const ScriptError& error) {
  return std::to_string(std::max(ride.line, 1)) + ": " + error.what() + "\n";
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
  std::string out(32, '\0');
  out.resize(static_cast<std::size_t>(std::snprintf(out.data(), out.size(), "%.1f", value)));
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

void rect(std::ostream& svg, double x, double end, int y, int height, const std::string& look) {
  svg << R"(<rect x=")" << number(x) << R"(" y=")" << y << R"(" width=")"
      << number(std::max(end - x, 0.1)) << R"(" height=")" << height << "\" " << look << "/>\n";
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
  int top = LanesTop;
  for (const auto& [vehicle, lane] : ride.vehicles) {
    if (lane.neon.empty()) {
      continue;
    }
    svg << R"(<g id="vehicle-)" << vehicle << R"(" data-marks-top=")" << top
        << R"(" data-strip-top=")" << top + MarkRowHeight << R"(" data-strip-height=")"
        << StripHeight << R"(" shape-rendering="crispEdges">)" << '\n';
    text(svg, PlotLeft - 10, top + MarkRowHeight + 15, "vehicle " + std::to_string(vehicle),
         R"(text-anchor="end")");
    for (const ColourRecord& run : lane.neon) {
      rect(svg, x(run.from), x(run.to), top + MarkRowHeight, StripHeight, fill(run.colour));
    }
    for (const std::uint32_t ms : lane.putBacks) {
      putBack(svg, x(ms), top, R"(class="put-back" data-ms=")" + std::to_string(ms) + "\"");
    }
    description += " Vehicle " + std::to_string(vehicle) + ": " + std::to_string(lane.switches) +
                   (lane.switches == 1 ? " switch" : " switches") + " by the plugin, " +
                   std::to_string(lane.putBacks.size()) +
                   (lane.putBacks.size() == 1 ? " colour" : " colours") + " put back by it.";
    svg << "</g>\n";
    top += VehicleLaneHeight;
  }
  for (const KeyRecord& key : ride.keys) {
    text(svg, PlotLeft - 10, top + 16, "key " + keyName(key.code), R"(text-anchor="end")");
    for (const auto& [from, to] : key.down) {
      rect(svg, x(from), x(std::min(to, ride.elapsed)), top + 7, 10, KeyBar);
    }
    top += KeyLaneHeight;
  }
  const int lanesBottom = top;
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
  // The notes, listed under the axis; above the lanes, a number and a dashed line through them.
  std::ostringstream marks;
  for (std::size_t i = 0; i < ride.notes.size(); ++i) {
    const NoteRecord& note = ride.notes[i];
    marks << R"(<path d="M)" << number(x(note.ms)) << " 58V" << lanesBottom
          << R"(" stroke="#b8b8b8" stroke-dasharray="3 3"/>)" << '\n';
    text(marks, x(note.ms) + 3, 71, std::to_string(i + 1), R"(font-weight="bold")");
    top += LineHeight;
    text(svg, PlotLeft, top, std::to_string(i + 1), R"(font-weight="bold")");
    text(svg, PlotLeft + 22, top, note.heading);
    description += " Section " + std::to_string(i + 1) + " at " + number(note.ms / 1000.0) +
                   " s: " + note.heading;
  }
  top += LineHeight + 10;  // the legend
  rect(svg, PlotLeft, PlotLeft + 24, top - 11, 12, fill({255, 0, 128}));
  text(svg, PlotLeft + 30, top, "neon colour");
  rect(svg, PlotLeft + 130, PlotLeft + 154, top - 11, 12, fill({0, 0, 0}));
  text(svg, PlotLeft + 160, top, "dark (0,0,0)");
  rect(svg, PlotLeft + 260, PlotLeft + 284, top - 10, 10, KeyBar);
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
  return out.str() + marks.str() + svg.str() + "</g>\n</svg>\n";
}

}  // namespace

int main() try {
  // Bytes as they are, and "\n" line ends: all of it is read and written on Linux.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  const std::vector<std::string> arguments = utf8Arguments();
  const bool listing = arguments.size() == 2 && arguments[1] == "--settings-files";
  if (arguments.size() != 3 && !listing) {
    std::fprintf(stderr, "usage: ride.exe PLUGIN FOLDER < RIDE, or --settings-files < RIDE\n");
    return 2;
  }
  std::string bytes(LargestRide + 1, '\0');
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), stdin));
  Ride checked;
  const std::string refused = readRide(bytes, checked);
  if (!refused.empty()) {
    std::fputs(refused.c_str(), stderr);
    return 2;
  }
  if (listing) {
    std::fputs(checked.settingsFiles.c_str(), stdout);
    return 0;
  }
  Ride ride;
  ride.playing = true;
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
  const std::string failed = readRide(bytes, ride);  // now only an expect step can fail
  standinUnloadPlugin();
  std::printf("\nThe ride took %.3f s.\n", ride.elapsed / 1000.0);
  std::fputs(picture(ride).c_str(), stdout);
  std::fputs(failed.c_str(), stderr);
  return failed.empty() ? 0 : 1;
} catch (const std::exception& failure) {
  std::fflush(stdout);
  std::fprintf(stderr, "error: %s\n", failure.what());
  return 1;
}
