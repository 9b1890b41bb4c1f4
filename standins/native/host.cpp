#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "standins/native/standins.h"

StandinHost standinHost;

void resetStandins(std::uint32_t now) {
  std::memset(static_cast<void*>(&standinHost), 0, sizeof standinHost);
  standinClock.now.store(now, std::memory_order_relaxed);
  standinClock.calls.store(0, std::memory_order_relaxed);
}

StandinVehicle& addStandinVehicle(GameHandle handle, NeonColour neon) {
  StandinVehicle* existing = findStandinVehicle(handle);
  if (existing != nullptr) {
    existing->neon = neon;
    return *existing;
  }
  if (standinHost.vehicleCount == StandinMaxVehicles) {
    std::fprintf(stderr, "stand-in world is full: %d vehicles at most\n", StandinMaxVehicles);
    std::abort();
  }
  StandinVehicle& vehicle = standinHost.vehicles[standinHost.vehicleCount++];
  vehicle = {handle, neon};
  return vehicle;
}

StandinVehicle* findStandinVehicle(GameHandle handle) {
  for (int i = 0; i < standinHost.vehicleCount; ++i) {
    if (standinHost.vehicles[i].handle == handle) {
      return &standinHost.vehicles[i];
    }
  }
  return nullptr;
}

void clearStandinCalls() { standinHost.callCount = 0; }

static void record(RegistrationRecord entry) {
  if (standinHost.registrationCount < StandinMaxRegistrations) {
    standinHost.registrations[standinHost.registrationCount] = entry;
  }
  ++standinHost.registrationCount;
}

extern "C" {

void scriptRegister(void* module, ScriptFunction script) {
  record({RegistrationCall::ScriptRegister, module, script, nullptr});
}
void scriptUnregister(ScriptFunction script) {
  record({RegistrationCall::ScriptUnregister, nullptr, script, nullptr});
}
void keyboardHandlerRegister(KeyboardHandler handler) {
  record({RegistrationCall::HandlerRegister, nullptr, nullptr, handler});
}
void keyboardHandlerUnregister(KeyboardHandler handler) {
  record({RegistrationCall::HandlerUnregister, nullptr, nullptr, handler});
}

void scriptWait(std::uint32_t /*milliseconds*/) {
  ++standinHost.scriptWaitCalls;
  if (standinHost.scriptWaitLimit != 0 &&
      standinHost.scriptWaitCalls >= standinHost.scriptWaitLimit) {
    throw StandinScriptStopped{};
  }
}

void nativeInit(std::uint64_t hash) {
  standinHost.pending = {};
  standinHost.pending.hash = hash;
}

void nativePush64(std::uint64_t value) {
  NativeCallRecord& call = standinHost.pending;
  if (call.argCount < 8) {
    call.args[call.argCount] = value;
  }
  ++call.argCount;
}

// The natives read a 32-bit argument from the low half of its slot, as the
// game does, and write 32-bit integers through pointer arguments.
static GameHandle low32(std::uint64_t value) {
  return static_cast<GameHandle>(static_cast<std::uint32_t>(value));
}

static void writeInt32(std::uint64_t address, std::int32_t value) {
  *reinterpret_cast<std::int32_t*>(static_cast<std::uintptr_t>(address)) = value;
}

static std::uint32_t answer(const NativeCallRecord& call) {
  switch (call.hash) {
    case PlayerCharacterNative:
      return static_cast<std::uint32_t>(standinHost.player);
    case OccupiedVehicleNative:
      return low32(call.args[0]) == standinHost.player
                 ? static_cast<std::uint32_t>(standinHost.occupied)
                 : 0;
    case NeonColourGetterNative:
      if (StandinVehicle* vehicle = findStandinVehicle(low32(call.args[0]))) {
        writeInt32(call.args[1], vehicle->neon.red);
        writeInt32(call.args[2], vehicle->neon.green);
        writeInt32(call.args[3], vehicle->neon.blue);
      }
      return 0;
    case NeonColourSetterNative:
      if (StandinVehicle* vehicle = findStandinVehicle(low32(call.args[0]))) {
        vehicle->neon = {low32(call.args[1]), low32(call.args[2]), low32(call.args[3])};
      }
      return 0;
    default:
      return 0;
  }
}

std::uint64_t* nativeCall() {
  const NativeCallRecord& call = standinHost.pending;
  if (standinHost.callCount < StandinMaxLoggedCalls) {
    standinHost.calls[standinHost.callCount] = call;
  }
  ++standinHost.callCount;
  standinHost.resultSlot =
      (static_cast<std::uint64_t>(standinHost.resultUpperBits) << 32) | answer(call);
  return &standinHost.resultSlot;
}

}  // extern "C"
