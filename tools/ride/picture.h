// The ride as a picture: each vehicle's neon colour over time, a lane per
// vehicle, with a mark while the player sits in it, a tick at each switch
// the plugin made and a triangle at each colour it put back on a vehicle the
// player left; a lane per key, a bar while it is down; the ride's notes as
// numbered sections of the time axis. Hand-written SVG of a few element
// kinds, on a background of its own so it reads the same on a light and a
// dark page.
//
// Runs of equal colour are one rectangle, so a long ride stays small: the
// picture grows with what happens, not with its frames. The root element
// says where its time axis lies (data-plot-left and data-plot-width, in
// pixels, for data-ride-ms milliseconds) and each vehicle lane where its
// colour strip lies (data-strip-top, data-strip-height) and where the row of
// the plugin's ticks and triangles lies (data-marks-top, data-marks-height);
// each triangle is an element of class put-back with its time (data-ms), so
// a check of the rendered picture can find a time, a lane and a put-back
// without knowing the layout.
#pragma once

#include <filesystem>

#include "tools/ride/record.h"

// Writes the picture of `ride` to the file `path`; false when it cannot.
bool writePicture(const RideRecord& ride, const std::filesystem::path& path);
