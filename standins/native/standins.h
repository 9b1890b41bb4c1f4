// Stand-ins for the Windows calls and the script host, for the native build.
//
// The plugin's sources call GetTickCount, GetPrivateProfileIntA and the host's
// functions; on Linux these files supply them, and tests steer them through
// the records below: a clock that only moves when a test sets it, a host that
// records every call, and a tiny game world that answers the four natives.
// Single-threaded use, except GetTickCount, which the keyboard handler may
// call from another thread (the clock is atomic for that).
#pragma once

#include <atomic>
#include <cstdint>

#include "host/host.h"
#include "host/natives.h"

// The clock: GetTickCount returns standinClock.now, and counts its calls.
struct StandinClock {
  std::atomic<std::uint32_t> now;    // the tick count the test set
  std::atomic<std::uint32_t> calls;  // GetTickCount calls since the last reset
};
extern StandinClock standinClock;

// What the host was asked to do with a registration.
enum class RegistrationCall {
  ScriptRegister,
  ScriptUnregister,
  HandlerRegister,
  HandlerUnregister
};

struct RegistrationRecord {
  RegistrationCall call;    // which of the four functions
  void* module;             // scriptRegister's module handle, else null
  ScriptFunction script;    // the script function, for the two script calls
  KeyboardHandler handler;  // the handler, for the two handler calls
};

// One native call as the host saw it.
struct NativeCallRecord {
  std::uint64_t hash;      // from nativeInit
  std::uint64_t args[8];   // from nativePush64, in order; the first argCount are valid
  std::uint32_t argCount;  // pushes since nativeInit (may exceed 8; the rest are dropped)
};

struct StandinVehicle {
  GameHandle handle;  // non-zero
  NeonColour neon;    // what the getter reports and the setter changes
};

inline constexpr int StandinMaxVehicles = 8;
inline constexpr int StandinMaxLoggedCalls = 64;
inline constexpr int StandinMaxRegistrations = 16;

// The game as the natives see it, and the host's record of what was asked.
// Invariant: vehicles[0..vehicleCount) have distinct non-zero handles.
struct StandinHost {
  GameHandle player;                            // the player character's handle
  GameHandle occupied;                          // vehicle the player sits in, 0 on foot
  StandinVehicle vehicles[StandinMaxVehicles];  // the world's vehicles
  int vehicleCount;                             // how many of vehicles[] exist
  std::uint32_t resultUpperBits;  // fault: garbage put above every result's low 32 bits

  NativeCallRecord calls[StandinMaxLoggedCalls];  // native calls, oldest first
  int callCount;                                  // native calls made (may exceed the log)
  NativeCallRecord pending;                       // the call between nativeInit and nativeCall
  std::uint64_t resultSlot;                       // what nativeCall points to

  RegistrationRecord registrations[StandinMaxRegistrations];  // oldest first
  int registrationCount;                                      // calls made (may exceed the log)
  std::uint32_t scriptWaitCalls;                              // scriptWait calls made
  std::uint32_t scriptWaitLimit;  // scriptWait throws StandinScriptStopped once it has been called
                                  // this often; 0: never
};
extern StandinHost standinHost;

// Thrown by scriptWait at its limit, to end a never-returning script function.
struct StandinScriptStopped {};

// Clears the log and the world, and sets the clock to `now`.
void resetStandins(std::uint32_t now);
// Adds a vehicle to the world and returns its record.
StandinVehicle& addStandinVehicle(GameHandle handle, NeonColour neon);
// The world's record for `handle`, or null.
StandinVehicle* findStandinVehicle(GameHandle handle);
// Empties the native call log (the world stays).
void clearStandinCalls();
