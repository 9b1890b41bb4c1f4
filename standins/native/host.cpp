#include <cstring>

#include "standins/native/standins.h"

StandinHost standinHost;

void resetStandins(std::uint32_t now) {
  std::memset(static_cast<void*>(&standinHost), 0, sizeof standinHost);
  standinClock.now.store(now, std::memory_order_relaxed);
  standinClock.calls.store(0, std::memory_order_relaxed);
  standinProfile.calls.store(0, std::memory_order_relaxed);
}

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

void nativeInit(std::uint64_t hash) { beginNativeCall(standinHost.natives, hash); }
void nativePush64(std::uint64_t value) { pushNativeArgument(standinHost.natives, value); }
std::uint64_t* nativeCall() { return finishNativeCall(standinHost.natives, standinHost.world); }

}  // extern "C"
