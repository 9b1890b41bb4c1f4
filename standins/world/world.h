// What every stand-in host shares: a tiny game world, the one place that says
// what the game does for each of the plugin's four natives, and the records
// of what the plugin asked of a host.
//
// Two hosts use it: the Linux build's (standins/linux, the Linux benchmark's
// too) and the stand-in ScriptHookV.dll (standins/scripthookv_dll). Each is a
// StandinHost and hands the plugin's registration and native calls to the
// functions below, which answer from the world and record them; so a test of
// either sees the same game. Script thread only, like the natives.
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

// Calls a host saw. Invariant: log[0..min(count, Size)) are the calls since
// the last clear, oldest first.
template <typename Record, int Size>
struct StandinLog {
  Record log[Size];  // the calls made
  int count;         // calls made since the last clear (may exceed the log)

  // Adds `record`, or only counts it once the log is full.
  void add(const Record& record) {
    if (count < Size) {
      log[count] = record;
    }
    ++count;
  }
};

inline constexpr int NativeLogSize = 4096;

// The native calls made, each one's arguments beyond argCount zero.
using NativeCallLog = StandinLog<NativeCallRecord, NativeLogSize>;

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

using RegistrationLog = StandinLog<RegistrationRecord, 1024>;

// What a host knows and has seen since the last reset.
struct StandinHost {
  StandinWorld world;             // what the natives answer from
  NativeCallLog natives;          // native calls, oldest first
  RegistrationLog registrations;  // registration calls, oldest first
  NativeCallRecord pendingCall;   // the native call between nativeInit and nativeCall
  std::uint64_t resultSlot;       // what nativeCall returns a pointer to
  bool lean;                      // nothing is recorded: the least a host must do, for timing
};

// A host's four registration functions: records `call`.
void standinRecord(StandinHost& host, const RegistrationRecord& call);

// A host's nativeInit and nativePush64: start the pending call for `hash`
// (every argument zero), append an argument.
void standinNativeInit(StandinHost& host, std::uint64_t hash);
void standinNativePush64(StandinHost& host, std::uint64_t value);

// A host's nativeCall: records the pending call and does what the game does
// for it in the world, reading 32-bit arguments from the low half of their
// slots and writing colours through pointer arguments as 32-bit integers.
// Returns the result slot, holding the answer in the low 32 bits, the world's
// resultUpperBits above. A native the game does not have does nothing and
// answers 0.
std::uint64_t* standinNativeCall(StandinHost& host);
