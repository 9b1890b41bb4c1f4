// What both stand-in hosts share: a tiny game world that answers the plugin's
// four natives, and the records of what the plugin asked of the host.
//
// The Linux build's recording host (standins/linux) and the stand-in
// ScriptHookV.dll (standins/scripthookv_dll) both answer natives through
// worldFinishNativeCall and record registrations with
// worldRecordRegistration, so a test of either sees the same game. Script
// thread only, like the natives.
#pragma once

#include <cstdint>

#include "host/host.h"
#include "host/natives.h"

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

// One native call as the host saw it.
struct NativeCallRecord {
  std::uint64_t hash;      // from nativeInit
  std::uint64_t args[8];   // from nativePush64, first first; the first argCount are kept
  std::uint32_t argCount;  // pushes since nativeInit (beyond 8 they are counted, not kept)
};

inline constexpr int NativeLogSize = 4096;

// Native calls in progress and made. Invariant: log[0..min(count, NativeLogSize))
// are the calls since the last clear, oldest first.
struct NativeCallLog {
  bool lean;                            // answer only: keep the hash and arguments, log nothing
  NativeCallRecord pending;             // the call between nativeInit and nativeCall
  std::uint64_t resultSlot;             // what nativeCall hands back a pointer to
  NativeCallRecord log[NativeLogSize];  // the calls made
  int count;                            // calls made since the last clear (may exceed the log)
};

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

// The world's vehicle `handle`, or null.
StandinVehicle* worldFindVehicle(StandinWorld& world, GameHandle handle);
// Adds a vehicle, or recolours the one with that handle. Null when the world is full.
StandinVehicle* worldAddVehicle(StandinWorld& world, GameHandle handle, NeonColour neon);

// Adds `entry` to `log`, or only counts it once the log is full.
void worldRecordRegistration(RegistrationLog& log, const RegistrationRecord& entry);

// The three steps of a native call, recorded in `natives` and answered from
// `world`: reading 32-bit arguments from the low half of their slots, writing
// colours through pointer arguments as 32-bit integers.
void worldBeginNativeCall(NativeCallLog& natives, std::uint64_t hash);
void worldPushNativeArgument(NativeCallLog& natives, std::uint64_t value);
std::uint64_t* worldFinishNativeCall(NativeCallLog& natives, StandinWorld& world);
