// What every stand-in host shares: a tiny game world, the one place that says
// what the game does for each of the plugin's four natives, and the records
// of what the plugin asked of a host.
//
// Two hosts use it: the Linux build's (standins/linux, the Linux benchmark's
// too) and the stand-in ScriptHookV.dll (standins/scripthookv_dll). Each keeps
// the call being made between nativeInit and nativeCall in a
// NativeCallRecord, has the world answer it with worldAnswerNative, and logs
// it or not; so a test of either sees the same game. Script thread only,
// like the natives.
#pragma once

#include <cstdint>

#include "host/host.h"     // ScriptFunction, KeyboardHandler: what a host is handed
#include "host/natives.h"  // GameHandle, NeonColour: the natives' argument types
#include "standins/world/game_natives.h"

inline constexpr int StandinMaxVehicles = 8;

struct StandinVehicle {
  GameHandle handle;  // non-zero, unique in the world
  NeonColour neon;    // what the getter reports and the setter changes
};

// One player character and a few vehicles. Invariant: vehicles[0..vehicleCount)
// have distinct non-zero handles; occupied is 0 or one of them.
struct StandinWorld {
  GameHandle player;                            // the player character's handle
  GameHandle occupied;                          // the vehicle the player sits in, 0 on foot
  StandinVehicle vehicles[StandinMaxVehicles];  // the world's vehicles
  int vehicleCount;                             // how many of vehicles[] exist
  std::uint32_t resultUpperBits;  // fault: put above the low 32 bits of every native result
};

// The world's vehicle `handle`, or null.
StandinVehicle* worldFindVehicle(StandinWorld& world, GameHandle handle);
// Adds a vehicle, or recolours the one with that handle. Null when the world is full.
StandinVehicle* worldAddVehicle(StandinWorld& world, GameHandle handle, NeonColour neon);

inline constexpr std::uint32_t MaxNativeArguments = 8;

// One native call as the host saw it.
struct NativeCallRecord {
  std::uint64_t hash;                      // from nativeInit
  std::uint64_t args[MaxNativeArguments];  // from nativePush64, first first; see argCount
  std::uint32_t argCount;  // pushes since nativeInit; the first MaxNativeArguments are kept
};

// A host's nativeInit and nativePush64: start `call` for `hash` (every argument
// zero), append an argument.
void worldBeginNativeCall(NativeCallRecord& call, std::uint64_t hash);
void worldPushNativeArgument(NativeCallRecord& call, std::uint64_t value);

// A host's nativeCall: does what the game does for `call` in `world`, reading
// 32-bit arguments from the low half of their slots and writing colours
// through pointer arguments as 32-bit integers. Returns what the host's
// result slot then holds: the answer in the low 32 bits, the world's
// resultUpperBits above. A native the game does not have does nothing and
// answers 0.
std::uint64_t worldAnswerNative(StandinWorld& world, const NativeCallRecord& call);

inline constexpr int NativeLogSize = 4096;

// The native calls made. Invariant: log[0..min(count, NativeLogSize)) are the
// calls since the last clear, oldest first, their arguments beyond argCount zero.
struct NativeCallLog {
  NativeCallRecord log[NativeLogSize];  // the calls made
  int count;                            // calls made since the last clear (may exceed the log)
};

// Adds `call` to `log`, or only counts it once the log is full.
void worldLogNativeCall(NativeCallLog& log, const NativeCallRecord& call);

enum class RegistrationCall {
  ScriptRegister,
  ScriptUnregister,
  HandlerRegister,
  HandlerUnregister
};

// One call to the host's registration functions.
struct RegistrationRecord {
  RegistrationCall call;    // which of the four functions
  void* module;             // scriptRegister's module handle, else null
  ScriptFunction script;    // the script function, for the two script calls
  KeyboardHandler handler;  // the handler, for the two handler calls
};

inline constexpr int MaxRegistrations = 1024;

// The registration calls made. Invariant: records[0..min(count,
// MaxRegistrations)) are the calls since the last clear, oldest first.
struct RegistrationLog {
  RegistrationRecord records[MaxRegistrations];  // the calls made
  int count;                                     // calls made (may exceed the log)
};

// Adds `entry` to `log`, or only counts it once the log is full.
void worldRecordRegistration(RegistrationLog& log, const RegistrationRecord& entry);
