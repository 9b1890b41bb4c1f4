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

void worldRecordRegistration(RegistrationLog& log, const RegistrationRecord& entry) {
  if (log.count < MaxRegistrations) {
    log.records[log.count] = entry;
  }
  ++log.count;
}

void worldBeginNativeCall(NativeCallLog& natives, std::uint64_t hash) {
  if (!natives.lean) {
    natives.pending = {};
  }
  natives.pending.hash = hash;
  natives.pending.argCount = 0;
}

void worldPushNativeArgument(NativeCallLog& natives, std::uint64_t value) {
  NativeCallRecord& call = natives.pending;
  if (call.argCount < 8) {
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

std::uint32_t answer(StandinWorld& world, const NativeCallRecord& call) {
  switch (call.hash) {
    case PlayerCharacterNative:
      return static_cast<std::uint32_t>(world.player);
    case OccupiedVehicleNative:
      return low32(call.args[0]) == world.player ? static_cast<std::uint32_t>(world.occupied) : 0;
    case NeonColourGetterNative:
      if (const StandinVehicle* vehicle = worldFindVehicle(world, low32(call.args[0]))) {
        writeInt32(call.args[1], vehicle->neon.red);
        writeInt32(call.args[2], vehicle->neon.green);
        writeInt32(call.args[3], vehicle->neon.blue);
      }
      return 0;
    case NeonColourSetterNative:
      if (StandinVehicle* vehicle = worldFindVehicle(world, low32(call.args[0]))) {
        vehicle->neon = {low32(call.args[1]), low32(call.args[2]), low32(call.args[3])};
      }
      return 0;
    default:
      return 0;
  }
}

}  // namespace

std::uint64_t* worldFinishNativeCall(NativeCallLog& natives, StandinWorld& world) {
  const NativeCallRecord& call = natives.pending;
  if (!natives.lean) {
    if (natives.count < NativeLogSize) {
      natives.log[natives.count] = call;
    }
    ++natives.count;
  }
  natives.resultSlot =
      (static_cast<std::uint64_t>(world.resultUpperBits) << 32) | answer(world, call);
  return &natives.resultSlot;
}
