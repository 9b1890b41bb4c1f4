#include "standins/world/world.h"

StandinVehicle* worldFindVehicle(StandinWorld& world, GameHandle handle) {
  for (int i = 0; i < world.vehicleCount; ++i) {
    if (world.vehicles[i].handle == handle) {
      return &world.vehicles[i];
    }
  }
  return nullptr;
}

StandinVehicle* worldAddVehicle(StandinWorld& world, GameHandle handle, NeonColour neon) {
  StandinVehicle* vehicle = worldFindVehicle(world, handle);
  if (vehicle == nullptr) {
    if (world.vehicleCount == StandinMaxVehicles) {
      return nullptr;
    }
    vehicle = &world.vehicles[world.vehicleCount++];
  }
  *vehicle = {handle, neon};
  return vehicle;
}

void standinRecord(StandinHost& host, const RegistrationRecord& call) {
  if (!host.lean) {
    host.registrations.add(call);
  }
}

void standinNativeInit(StandinHost& host, std::uint64_t hash) { host.pendingCall = {hash, {}, 0}; }

void standinNativePush64(StandinHost& host, std::uint64_t value) {
  NativeCallRecord& call = host.pendingCall;
  if (call.argCount < MaxNativeArguments) {
    call.args[call.argCount] = value;
  }
  ++call.argCount;
}

namespace {

GameHandle low32(std::uint64_t value) {
  return static_cast<GameHandle>(static_cast<std::uint32_t>(value));
}

void writeInt32(std::uint64_t address, std::int32_t value) {
  *reinterpret_cast<std::int32_t*>(static_cast<std::uintptr_t>(address)) = value;
}

// The game's side of each native, by the game's own numbers. A call with
// another number of arguments than the native takes is answered with 0 and
// does nothing, so a plugin that pushes too few or too many shows.
std::uint32_t answer(StandinWorld& world, const NativeCallRecord& call) {
  const std::uint32_t count = call.argCount;
  // The vehicle a neon call's first argument names, or null.
  StandinVehicle* vehicle = count == 4 ? worldFindVehicle(world, low32(call.args[0])) : nullptr;
  switch (call.hash) {
    case GameNatives::PlayerCharacter:
      return count == 0 ? static_cast<std::uint32_t>(world.player) : 0;
    case GameNatives::OccupiedVehicle:
      return count == 2 && low32(call.args[0]) == world.player
                 ? static_cast<std::uint32_t>(world.occupied)
                 : 0;
    case GameNatives::NeonColourGetter:
      if (vehicle != nullptr) {
        writeInt32(call.args[1], vehicle->neon.red);
        writeInt32(call.args[2], vehicle->neon.green);
        writeInt32(call.args[3], vehicle->neon.blue);
      }
      return 0;
    case GameNatives::NeonColourSetter:
      if (vehicle != nullptr) {
        vehicle->neon = {low32(call.args[1]), low32(call.args[2]), low32(call.args[3])};
      }
      return 0;
    default:
      return 0;
  }
}

}  // namespace

std::uint64_t* standinNativeCall(StandinHost& host) {
  if (!host.lean) {
    host.natives.add(host.pendingCall);  // its arguments beyond argCount zero since it began
  }
  host.resultSlot = (static_cast<std::uint64_t>(host.world.resultUpperBits) << 32) |
                    answer(host.world, host.pendingCall);
  return &host.resultSlot;
}
