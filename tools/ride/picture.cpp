#include "tools/ride/picture.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/ride/script.h"

namespace {

// The layout, in pixels. The time axis runs from PlotLeft for PlotWidth.
constexpr int Width = 960;
constexpr int PlotLeft = 130;
constexpr int PlotWidth = 800;
constexpr int SectionRowTop = 58;  // the notes' numbers
constexpr int LanesTop = 84;
constexpr int VehicleLaneHeight = 44;  // the plugin's marks, the colour strip, the player's mark
constexpr int MarkRowHeight = 8;       // a switch's tick, a put-back's triangle
constexpr int PutBackHalfWidth = 5;
constexpr int StripTop = MarkRowHeight;  // within a vehicle lane
constexpr int StripHeight = 20;
constexpr int InsideTop = StripTop + StripHeight + 3;
constexpr int InsideHeight = 5;
constexpr int KeyLaneHeight = 24;
constexpr int KeyBarTop = 7;
constexpr int KeyBarHeight = 10;
constexpr int LineHeight = 18;  // of the sections' list and the legend

constexpr const char* Background = "#ffffff";
constexpr const char* Ink = "#1a1a1a";
constexpr const char* Faint = "#b8b8b8";        // section lines, the axis
constexpr const char* DarkOutline = "#8c8c8c";  // around dark runs, so dark shows on dark ink
constexpr const char* InsideMark = "#5c5c5c";
constexpr const char* KeyBar = "#2f6db5";
constexpr const char* PutBackFill = "#d9480f";  // not the ticks' ink: shows among them
constexpr const char* Font = "font-family=\"DejaVu Sans, Verdana, Arial, sans-serif\"";

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  std::string out = text;
  if (out.size() > 2 && out.compare(out.size() - 2, 2, ".0") == 0) {
    out.resize(out.size() - 2);
  }
  return out;
}

// Text as SVG holds it: valid UTF-8 with no control character (printable),
// and XML's own characters as entities.
std::string escaped(const std::string& text) {
  std::string out;
  for (char c : printable(text)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string fillOf(const NeonColour& colour) {
  return "rgb(" + std::to_string(colour.red) + "," + std::to_string(colour.green) + "," +
         std::to_string(colour.blue) + ")";
}

// Where a time falls on the axis.
class TimeAxis {
 public:
  explicit TimeAxis(std::uint32_t rideMs) : rideMs_(std::max<std::uint32_t>(rideMs, 1)) {}
  double x(std::uint32_t ms) const {
    return PlotLeft + static_cast<double>(ms) * PlotWidth / static_cast<double>(rideMs_);
  }
  std::uint32_t rideMs() const { return rideMs_; }

  // A round step between labelled ticks: at most about 16 of them.
  std::uint32_t tickStepMs() const {
    constexpr std::uint32_t Steps[] = {100,     200,     500,       1'000,     2'000,    5'000,
                                       10'000,  20'000,  30'000,    60'000,    120'000,  300'000,
                                       600'000, 900'000, 1'800'000, 3'600'000, 7'200'000};
    for (std::uint32_t step : Steps) {
      if (rideMs_ / step <= 16) {
        return step;
      }
    }
    return rideMs_;
  }

 private:
  std::uint32_t rideMs_;
};

// A run of frames: [from, to) in ms, and what held in it.
struct Run {
  std::uint32_t from, to;
  NeonColour colour;
};

// When a frame's state stops holding: at the next frame, or the ride's end.
std::uint32_t endOf(const RideRecord& ride, std::size_t frame) {
  return frame + 1 < ride.frames.size() ? ride.frames[frame + 1].ms : ride.endMs;
}

// The runs of equal colour of one vehicle, while it exists.
std::vector<Run> colourRuns(const RideRecord& ride, int vehicle) {
  std::vector<Run> runs;
  bool open = false;
  for (std::size_t i = 0; i < ride.frames.size(); ++i) {
    const FrameRecord& frame = ride.frames[i];
    if (!present(frame, vehicle)) {
      open = false;
      continue;
    }
    if (open && sameColour(runs.back().colour, frame.neon[vehicle])) {
      runs.back().to = endOf(ride, i);
    } else {
      runs.push_back({frame.ms, endOf(ride, i), frame.neon[vehicle]});
      open = true;
    }
  }
  return runs;
}

// The runs of frames in which the player sat in the vehicle.
std::vector<Run> insideRuns(const RideRecord& ride, int vehicle) {
  std::vector<Run> runs;
  bool open = false;
  for (std::size_t i = 0; i < ride.frames.size(); ++i) {
    const bool inside = ride.frames[i].occupied == vehicle;
    if (inside && open) {
      runs.back().to = endOf(ride, i);
    } else if (inside) {
      runs.push_back({ride.frames[i].ms, endOf(ride, i), {}});
    }
    open = inside;
  }
  return runs;
}

// The spans in which a key was down.
std::vector<Run> keyRuns(const RideRecord& ride, std::uint32_t code) {
  std::vector<Run> runs;
  bool down = false;
  for (const KeyRecord& key : ride.keys) {
    if (key.code != code || key.down == down) {
      continue;
    }
    if (key.down) {
      runs.push_back({key.ms, ride.endMs, {}});
    } else {
      runs.back().to = key.ms;
    }
    down = key.down;
  }
  return runs;
}

std::vector<int> vehiclesOf(const RideRecord& ride) {
  std::uint32_t seen = 0;
  for (const FrameRecord& frame : ride.frames) {
    seen |= frame.present;
  }
  std::vector<int> vehicles;
  for (int n = 1; n <= StandinMaxVehicles; ++n) {
    if ((seen & (1u << (n - 1))) != 0) {
      vehicles.push_back(n);
    }
  }
  return vehicles;
}

std::vector<std::uint32_t> keysOf(const RideRecord& ride) {
  std::vector<std::uint32_t> codes;
  for (const KeyRecord& key : ride.keys) {
    if (std::find(codes.begin(), codes.end(), key.code) == codes.end()) {
      codes.push_back(key.code);
    }
  }
  return codes;
}

// How many colours the plugin set on the vehicle: switches, or colours put back.
int setsOf(const RideRecord& ride, int vehicle, bool switched) {
  return static_cast<int>(std::count_if(ride.sets.begin(), ride.sets.end(),
                                        [vehicle, switched](const PluginSetRecord& set) {
                                          return set.switched == switched && set.vehicle == vehicle;
                                        }));
}

// "1 switch", "2 switches".
std::string counted(int count, const std::string& one, const std::string& many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string secondsText(std::uint32_t ms) { return number(ms / 1000.0); }

// --- The picture, part by part, each appended to `svg`.

void drawRect(std::ostream& svg, double x, double y, double width, double height,
              const std::string& attributes) {
  svg << "<rect x=\"" << number(x) << "\" y=\"" << number(y) << "\" width=\""
      << number(std::max(width, 0.1)) << "\" height=\"" << number(height) << "\" " << attributes
      << "/>\n";
}

void drawText(std::ostream& svg, double x, double y, const std::string& content,
              const std::string& attributes = "") {
  svg << "<text x=\"" << number(x) << "\" y=\"" << number(y) << "\""
      << (attributes.empty() ? "" : " ") << attributes << ">" << escaped(content) << "</text>\n";
}

// A colour put back: a triangle in the marks' row, pointing down at the strip
// where the colour comes back; smooth edges, unlike the crisp lanes.
void drawPutBack(std::ostream& svg, double x, int top, const std::string& attributes = "") {
  svg << "<path d=\"M" << number(x - PutBackHalfWidth) << " " << top << "h" << 2 * PutBackHalfWidth
      << "l-" << PutBackHalfWidth << " " << MarkRowHeight << "z\" fill=\"" << PutBackFill
      << "\" shape-rendering=\"geometricPrecision\"" << (attributes.empty() ? "" : " ")
      << attributes << "/>\n";
}

void drawVehicleLane(std::ostream& svg, const RideRecord& ride, const TimeAxis& axis, int vehicle,
                     int top) {
  svg << "<g id=\"vehicle-" << vehicle << "\" data-marks-top=\"" << top << "\" data-marks-height=\""
      << MarkRowHeight << "\" data-strip-top=\"" << top + StripTop << "\" data-strip-height=\""
      << StripHeight << "\" shape-rendering=\"crispEdges\">\n";
  drawText(svg, PlotLeft - 10, top + StripTop + 15, "vehicle " + std::to_string(vehicle),
           "text-anchor=\"end\"");
  for (const Run& run : colourRuns(ride, vehicle)) {
    const std::string fill = "fill=\"" + fillOf(run.colour) + "\"";
    drawRect(svg, axis.x(run.from), top + StripTop, axis.x(run.to) - axis.x(run.from), StripHeight,
             isDark(run.colour) ? fill + " stroke=\"" + DarkOutline + "\"" : fill);
  }
  for (const Run& run : insideRuns(ride, vehicle)) {
    drawRect(svg, axis.x(run.from), top + InsideTop, axis.x(run.to) - axis.x(run.from),
             InsideHeight, std::string("fill=\"") + InsideMark + "\"");
  }
  std::string ticks;
  for (const PluginSetRecord& set : ride.sets) {
    if (set.switched && set.vehicle == vehicle) {
      ticks += "M" + number(axis.x(set.ms)) + " " + std::to_string(top) + "v" +
               std::to_string(MarkRowHeight) + " ";
    }
  }
  if (!ticks.empty()) {
    ticks.pop_back();
    svg << "<path d=\"" << ticks << "\" stroke=\"" << Ink << "\" stroke-width=\"2\"/>\n";
  }
  // Drawn over the ticks, so a switch close by cannot hide one; one element
  // each, with its time, so a check can count them.
  for (const PluginSetRecord& set : ride.sets) {
    if (!set.switched && set.vehicle == vehicle) {
      drawPutBack(svg, axis.x(set.ms), top,
                  "class=\"put-back\" data-ms=\"" + std::to_string(set.ms) + "\"");
    }
  }
  svg << "</g>\n";
}

void drawKeyLane(std::ostream& svg, const RideRecord& ride, const TimeAxis& axis,
                 std::uint32_t code, int top) {
  svg << "<g shape-rendering=\"crispEdges\">\n";
  drawText(svg, PlotLeft - 10, top + KeyBarTop + 9, "key " + keyName(code), "text-anchor=\"end\"");
  for (const Run& run : keyRuns(ride, code)) {
    drawRect(svg, axis.x(run.from), top + KeyBarTop, axis.x(run.to) - axis.x(run.from),
             KeyBarHeight, std::string("fill=\"") + KeyBar + "\"");
  }
  svg << "</g>\n";
}

// Each note's number above the lanes and a dashed line down through them.
void drawSections(std::ostream& svg, const RideRecord& ride, const TimeAxis& axis,
                  int lanesBottom) {
  for (std::size_t i = 0; i < ride.notes.size(); ++i) {
    const double x = axis.x(ride.notes[i].ms);
    svg << "<path d=\"M" << number(x) << " " << SectionRowTop << "V" << lanesBottom
        << "\" stroke=\"" << Faint << "\" stroke-dasharray=\"3 3\"/>\n";
    drawText(svg, x + 3, SectionRowTop + 13, std::to_string(i + 1), "font-weight=\"bold\"");
  }
}

int drawAxis(std::ostream& svg, const TimeAxis& axis, int top) {
  svg << "<path d=\"M" << PlotLeft << " " << top << "H" << PlotLeft + PlotWidth << "\" stroke=\""
      << Ink << "\"/>\n";
  const std::uint32_t step = axis.tickStepMs();
  std::string ticks;
  for (std::uint32_t ms = 0; ms <= axis.rideMs(); ms += step) {
    ticks += "M" + number(axis.x(ms)) + " " + std::to_string(top) + "v5 ";
    drawText(svg, axis.x(ms), top + 18, secondsText(ms), "text-anchor=\"middle\"");
    if (axis.rideMs() - ms < step) {
      break;
    }
  }
  ticks.pop_back();
  svg << "<path d=\"" << ticks << "\" stroke=\"" << Ink << "\"/>\n";
  drawText(svg, PlotLeft + PlotWidth / 2.0, top + 36, "time from the ride's start (s)",
           "text-anchor=\"middle\"");
  return top + 36;
}

int drawSectionList(std::ostream& svg, const RideRecord& ride, int top) {
  int y = top;
  for (std::size_t i = 0; i < ride.notes.size(); ++i) {
    y += LineHeight;
    drawText(svg, PlotLeft, y, std::to_string(i + 1), "font-weight=\"bold\"");
    drawText(svg, PlotLeft + 22, y, ride.notes[i].heading);
  }
  return y;
}

// The legend, an item a row: how its sample is drawn at (x, y), its label,
// the label's width, and whether it starts a line of the legend: the
// lanes' drawing on the first, the plugin's marks on the second.
struct LegendItem {
  void (*sample)(std::ostream& svg, int x, int y);
  const char* label;
  int labelWidth;
  bool startsLine;
};

constexpr LegendItem Legend[] = {
    {[](std::ostream& svg, int x, int y) {
       drawRect(svg, x, y - 11, 24, 12, "fill=\"rgb(255,0,128)\"");
     },
     "neon colour", 100, true},
    {[](std::ostream& svg, int x, int y) {
       drawRect(svg, x, y - 11, 24, 12,
                std::string("fill=\"rgb(0,0,0)\" stroke=\"") + DarkOutline + "\"");
     },
     "dark (0,0,0)", 100, false},
    {[](std::ostream& svg, int x, int y) {
       drawRect(svg, x, y - 7, 24, InsideHeight, std::string("fill=\"") + InsideMark + "\"");
     },
     "player inside", 110, false},
    {[](std::ostream& svg, int x, int y) {
       drawRect(svg, x, y - 10, 24, KeyBarHeight, std::string("fill=\"") + KeyBar + "\"");
     },
     "key down", 80, false},
    {[](std::ostream& svg, int x, int y) {
       svg << "<path d=\"M" << x + 12 << " " << y - 12 << "v" << MarkRowHeight << "\" stroke=\""
           << Ink << "\" stroke-width=\"2\"/>\n";
     },
     "the plugin switches", 150, true},
    {[](std::ostream& svg, int x, int y) { drawPutBack(svg, x + 12, y - 12); },
     "the plugin puts the colour back on a vehicle left", 320, false},
};

int drawLegend(std::ostream& svg, int top) {
  int y = top;
  int x = PlotLeft;
  for (const LegendItem& item : Legend) {
    if (item.startsLine) {
      y += LineHeight + (y == top ? 0 : 4);
      x = PlotLeft;
    }
    item.sample(svg, x, y);
    drawText(svg, x + 30, y, item.label);
    x += 30 + item.labelWidth;
  }
  return y;
}

std::string description(const RideRecord& ride) {
  std::string out = "Each vehicle's neon colour over the " + secondsText(ride.endMs) +
                    " s of the ride " + ride.title +
                    ", frame by frame, as the stand-in world held it, with the keys the player " +
                    "held down.";
  for (int vehicle : vehiclesOf(ride)) {
    out += " Vehicle " + std::to_string(vehicle) + ": " +
           counted(setsOf(ride, vehicle, true), "switch", "switches") + " by the plugin, " +
           counted(setsOf(ride, vehicle, false), "colour", "colours") + " put back by it.";
  }
  for (std::size_t i = 0; i < ride.notes.size(); ++i) {
    out += " Section " + std::to_string(i + 1) + " at " + secondsText(ride.notes[i].ms) +
           " s: " + ride.notes[i].heading;
  }
  return out;
}

}  // namespace

bool writePicture(const RideRecord& ride, const std::filesystem::path& path) {
  const TimeAxis axis(ride.endMs);
  const std::vector<int> vehicles = vehiclesOf(ride);
  const std::vector<std::uint32_t> keys = keysOf(ride);
  const int lanesBottom = LanesTop + static_cast<int>(vehicles.size()) * VehicleLaneHeight +
                          static_cast<int>(keys.size()) * KeyLaneHeight;

  std::ostringstream body;
  drawSections(body, ride, axis, lanesBottom);
  int top = LanesTop;
  for (int vehicle : vehicles) {
    drawVehicleLane(body, ride, axis, vehicle, top);
    top += VehicleLaneHeight;
  }
  for (std::uint32_t code : keys) {
    drawKeyLane(body, ride, axis, code, top);
    top += KeyLaneHeight;
  }
  int bottom = drawAxis(body, axis, lanesBottom + 6);
  bottom = drawSectionList(body, ride, bottom + 6);
  bottom = drawLegend(body, bottom + 10) + 14;

  const std::string title = "Quillmere: the ride " + ride.title + ", neon colour over time";
  std::ofstream out(path, std::ios::binary);
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << Width << "\" height=\"" << bottom
      << "\" viewBox=\"0 0 " << Width << " " << bottom
      << "\" role=\"img\" aria-labelledby=\"title desc\" data-plot-left=\"" << PlotLeft
      << "\" data-plot-width=\"" << PlotWidth << "\" data-ride-ms=\"" << axis.rideMs() << "\">\n"
      << "<title id=\"title\">" << escaped(title) << "</title>\n"
      << "<desc id=\"desc\">" << escaped(description(ride)) << "</desc>\n";
  out << "<rect width=\"100%\" height=\"100%\" fill=\"" << Background << "\"/>\n";
  out << "<g " << Font << " font-size=\"12\" fill=\"" << Ink << "\">\n";
  drawText(out, PlotLeft, 28, title, "font-size=\"17\" font-weight=\"bold\"");
  drawText(out, PlotLeft, 47,
           "a lane per vehicle, its neon colour frame by frame as the stand-in world holds it; a "
           "lane per key",
           "font-size=\"12\"");
  out << body.str() << "</g>\n</svg>\n";
  out.flush();
  return static_cast<bool>(out);
}
