// The ride script: what a ride does, step by step, as read from a file
// before anything is played. default.ride lists the steps for its readers.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "standins/world/world.h"

// Prints `heading` above what follows.
struct NoteStep {
  std::string heading;
};
// Makes `iniText` the plugin's Quillmere.ini, read when its script (re)starts.
struct SettingsStep {
  std::string iniText;  // the file's bytes
  std::string shown;    // what the trace says of them
};
// The player gets in a vehicle, from foot or straight from another one.
struct BoardStep {
  int vehicle = 0;                   // 1 to StandinMaxVehicles
  bool fromAnother = false;          // move-into: straight from the vehicle the player is in
  std::optional<NeonColour> colour;  // given on the vehicle's first appearance, or to repaint it
};
// The player gets out of the vehicle they sit in.
struct GetOutStep {};
// A key goes down or up.
struct KeyStep {
  std::uint32_t code;  // Windows virtual-key code, 0 to 254
  bool down;           // down (a press) or up (a release)
};
// Time passes, a frame every FrameMs.
struct WaitStep {
  std::uint32_t milliseconds;
};
// The host restarts the plugin's script.
struct RestartStep {};

using Step =
    std::variant<NoteStep, SettingsStep, BoardStep, GetOutStep, KeyStep, WaitStep, RestartStep>;

// A ride script that cannot be played: "file:line: what is wrong".
struct ScriptError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads a whole ride script, `bytes` of the file its messages name
// `fileName`, and checks that every step can be played (no impossible move,
// no vehicle without a colour, no settings file that is not a plain file, no
// more than LongestRideMs in all). A settings file's relative path starts
// from `folder`, which ends in a separator (or is empty: the current folder).
// Throws ScriptError at the first line that cannot.
std::vector<Step> parseRide(const std::string& fileName, const std::string& folder,
                            const std::string& bytes);

// The longest a ride may last, in simulated time: a day. A ride's records
// grow with what happens in it, not with its length.
inline constexpr std::uint32_t LongestRideMs = 86'400'000;

// A key code as the trace names it: "N (78)", "Ctrl (17)", "key 200".
std::string keyName(std::uint32_t code);

// `text` as the trace and the picture show it: valid UTF-8, a control
// character as \xNN, a byte that does not belong to a UTF-8 character as
// U+FFFD, the replacement character.
std::string printable(const std::string& text);

// The last name in `path`, after its last slash or backslash.
std::string lastName(const std::string& path);

// The folder of `path`, up to its last slash or backslash and with it; empty
// for a bare name.
std::string folderOf(const std::string& path);

// Whether the last name in `path` is one Windows keeps for a device (CON,
// PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, CONIN$, CONOUT$), as Windows
// reads a name: in any letter case, with any extension, with trailing spaces
// or dots, and up to a colon. Windows opens the device for such a name,
// whatever the folder: reading AUX waits for ever.
bool isDeviceName(const std::string& path);

// Throws ScriptError when the last name in `path` is a device name.
void refuseDeviceName(const std::string& path);

// The bytes of the plain file at `path` (in UTF-8, as Linux or Windows names
// it), at most `most` of them. Throws ScriptError saying why not: a device
// name, a Linux name Wine would read as another (a letter Windows reads
// otherwise, letters' case, a dot or a space at a name's end), no such file,
// a folder, a device or a pipe, or more bytes than `most`.
std::string readPlainFile(const std::string& path, std::size_t most);
