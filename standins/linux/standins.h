// The Windows calls and the script host the plugin calls, for the Linux
// build, steered by tests through the records below, as lwIP's test port sets
// sys_now: a clock that moves when a test sets it, a settings file the test
// fills in, a host that records every call and answers from standins/world.
// Single threaded, but GetTickCount, which the keyboard handler may call from
// another thread (the clock is atomic for that).
#pragma once

#include <atomic>
#include <cstdint>

#include "standins/world/world.h"

// The clock: GetTickCount returns standinClock.now, and counts its calls.
struct StandinClock {
  std::atomic<std::uint32_t> now;    // the tick count the test set
  std::atomic<std::uint32_t> calls;  // GetTickCount calls since the last reset
};
extern StandinClock standinClock;

// One key of the settings file, with the integer its value reads as.
struct StandinSetting {
  const char* section;  // the section it stands in
  const char* key;      // its name
  std::uint32_t value;  // what GetPrivateProfileIntA reads its value as: -1 is 0xFFFFFFFF
};

inline constexpr int StandinMaxSettings = 8;

// The settings file in the current folder, as rows rather than text: how a
// file's text reads is KERNEL32's own rule, tested where it runs, under Wine.
// GetPrivateProfileIntA answers a name ".\NAME" or "./NAME" from these rows,
// names matched in any ASCII letter case, the first matching row counting;
// anything else (a bare name, another file, a missing key) gets its default.
// Invariant: rows[0..count) are the file's keys.
struct StandinSettingsFile {
  const char* name;                         // the file's name; null: no file there
  StandinSetting rows[StandinMaxSettings];  // its keys
  int count;                                // how many of rows[] it holds
  std::uint32_t calls;                      // GetPrivateProfileIntA calls since the last reset
};
extern StandinSettingsFile standinSettings;

// The host's side: the world and the records (standins/world), and how
// often the script waited.
struct RecordingHost : StandinHost {
  std::uint32_t scriptWaitCalls;  // scriptWait calls made
  // scriptWait throws StandinScriptStopped once called this often; 0: never.
  std::uint32_t scriptWaitLimit;
};
extern RecordingHost recordingHost;

// Thrown by scriptWait at its limit, to end a never-returning script function.
struct StandinScriptStopped {};

// Clears the host's records, the world, the settings file (none) and the call
// counts, and sets the clock to `now`.
void resetStandins(std::uint32_t now);
