// The least a real host must do for the benchmark: keep the hash and the
// arguments, answer from a two-vehicle world, write the colour through the
// three pointers. Nothing is recorded, so the figures are the plugin's and
// the natives' own. Also the clock and the settings reader, as plain as can be.
#include "bench/linux/lean_host.h"

#include "host/platform.h"

BenchWorld benchWorld;

namespace {

struct PendingCall {
  std::uint64_t hash;     // from nativeInit
  std::uint64_t args[4];  // from nativePush64
  std::uint32_t count;    // arguments pushed
};

PendingCall pending;
std::uint64_t resultSlot;

NeonColour* colourOf(std::uint64_t vehicle) {
  const auto handle = static_cast<GameHandle>(static_cast<std::uint32_t>(vehicle));
  return handle == BenchCarA   ? &benchWorld.colourA
         : handle == BenchCarB ? &benchWorld.colourB
                               : nullptr;
}

std::int32_t low32(std::uint64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

}  // namespace

extern "C" {

std::uint32_t GetTickCount() { return benchWorld.now; }

std::uint32_t GetPrivateProfileIntA(const char*, const char*, std::int32_t defaultValue,
                                    const char*) {
  return static_cast<std::uint32_t>(defaultValue);
}

void scriptRegister(void*, ScriptFunction) {}
void scriptUnregister(ScriptFunction) {}
void keyboardHandlerRegister(KeyboardHandler) {}
void keyboardHandlerUnregister(KeyboardHandler) {}
void scriptWait(std::uint32_t) {}

void nativeInit(std::uint64_t hash) {
  pending.hash = hash;
  pending.count = 0;
}

void nativePush64(std::uint64_t value) { pending.args[pending.count++ & 3] = value; }

std::uint64_t* nativeCall() {
  std::uint32_t result = 0;
  switch (pending.hash) {
    case PlayerCharacterNative:
      result = static_cast<std::uint32_t>(BenchPlayer);
      break;
    case OccupiedVehicleNative:
      result = static_cast<std::uint32_t>(benchWorld.occupied);
      break;
    case NeonColourGetterNative:
      if (const NeonColour* colour = colourOf(pending.args[0])) {
        *reinterpret_cast<std::int32_t*>(pending.args[1]) = colour->red;
        *reinterpret_cast<std::int32_t*>(pending.args[2]) = colour->green;
        *reinterpret_cast<std::int32_t*>(pending.args[3]) = colour->blue;
      }
      break;
    case NeonColourSetterNative:
      if (NeonColour* colour = colourOf(pending.args[0])) {
        *colour = {low32(pending.args[1]), low32(pending.args[2]), low32(pending.args[3])};
      }
      break;
    default:
      break;
  }
  resultSlot = result;
  return &resultSlot;
}

}  // extern "C"
