// The least a real host must do for the benchmark: keep the hash and the
// arguments, have the world answer, hand back the result slot. Nothing is
// recorded, so the figures are the plugin's and the natives' own. Also the
// clock and the settings reader, as plain as can be.
#include "bench/linux/lean_host.h"

#include "host/platform.h"

LeanHost leanHost;

namespace {
NativeCallRecord pendingCall;  // the call between nativeInit and nativeCall
std::uint64_t resultSlot;      // what nativeCall returns a pointer to
}  // namespace

void leanHostSetWorld(GameHandle occupied, NeonColour colourA, NeonColour colourB,
                      std::uint32_t now) {
  leanHost = {};
  leanHost.world.player = BenchPlayer;
  worldAddVehicle(leanHost.world, BenchCarA, colourA);
  worldAddVehicle(leanHost.world, BenchCarB, colourB);
  leanHost.world.occupied = occupied;
  leanHost.now = now;
}

extern "C" {

std::uint32_t GetTickCount() { return leanHost.now; }

std::uint32_t GetPrivateProfileIntA(const char*, const char*, std::int32_t defaultValue,
                                    const char*) {
  return static_cast<std::uint32_t>(defaultValue);
}

void scriptRegister(void*, ScriptFunction) {}
void scriptUnregister(ScriptFunction) {}
void keyboardHandlerRegister(KeyboardHandler) {}
void keyboardHandlerUnregister(KeyboardHandler) {}
void scriptWait(std::uint32_t) {}

void nativeInit(std::uint64_t hash) { worldBeginNativeCall(pendingCall, hash); }
void nativePush64(std::uint64_t value) { worldPushNativeArgument(pendingCall, value); }
std::uint64_t* nativeCall() {
  resultSlot = worldAnswerNative(leanHost.world, pendingCall);
  return &resultSlot;
}

}  // extern "C"
