// Stand-ins for the Windows calls and the script host, for the Linux build.
//
// The plugin's sources call GetTickCount, GetPrivateProfileIntA and the host's
// functions; on Linux these files supply them, and tests steer them through
// the records below: a clock that only moves when a test sets it, a host that
// records every call, and the tiny game world of standins/world. Single
// threaded, except GetTickCount, which the keyboard handler may call from
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

// The settings reader: GetPrivateProfileIntA counts its calls.
struct StandinProfile {
  std::atomic<std::uint32_t> calls;  // GetPrivateProfileIntA calls since the last reset
};
extern StandinProfile standinProfile;

// The host's side: the world, and what the plugin asked of the host.
struct RecordingHost {
  StandinWorld world;             // what the natives answer from
  NativeCallRecord pendingCall;   // the native call between nativeInit and nativeCall
  std::uint64_t resultSlot;       // what nativeCall returns a pointer to
  NativeCallLog natives;          // native calls, oldest first
  RegistrationLog registrations;  // registration calls, oldest first
  std::uint32_t scriptWaitCalls;  // scriptWait calls made
  // scriptWait throws StandinScriptStopped once called this often; 0: never.
  std::uint32_t scriptWaitLimit;
};
extern RecordingHost recordingHost;

// Thrown by scriptWait at its limit, to end a never-returning script function.
struct StandinScriptStopped {};

// Clears the host's records, the world and the call counts, and sets the
// clock to `now`.
void resetStandins(std::uint32_t now);
