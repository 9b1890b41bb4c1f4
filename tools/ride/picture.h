// The ride as a picture: each vehicle's neon colour over time, a lane per
// vehicle, with a mark while the player sits in it and a tick at each switch
// the plugin made; a lane per key, a bar while it is down; the ride's notes
// as numbered sections of the time axis. Hand-written SVG of a few element
// kinds, on a background of its own so it reads the same on a light and a
// dark page.
//
// Runs of equal colour are one rectangle, so a long ride stays small: the
// picture grows with what happens, not with its frames. The root element
// says where its time axis lies (data-plot-left and data-plot-width, in
// pixels, for data-ride-ms milliseconds) and each vehicle lane where its
// colour strip lies (data-strip-top, data-strip-height), so a check of the
// rendered picture can find a time and a lane without knowing the layout.
#pragma once

#include <filesystem>

#include "tools/ride/record.h"

// Writes the picture of `ride` to the file `path`; false when it cannot.
bool writePicture(const RideRecord& ride, const std::filesystem::path& path);
