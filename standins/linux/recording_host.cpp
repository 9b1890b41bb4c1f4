#include <cstring>

#include "host/platform.h"
#include "standins/linux/standins.h"

RecordingHost recordingHost;
StandinClock standinClock;

extern "C" std::uint32_t GetTickCount() {
  // Relaxed: tests set the clock before they drive the plugin; the count
  // only has to be exact once the threads that call it have been joined.
  standinClock.calls.fetch_add(1, std::memory_order_relaxed);
  return standinClock.now.load(std::memory_order_relaxed);
}

void resetStandins(std::uint32_t now) {
  std::memset(static_cast<void*>(&recordingHost), 0, sizeof recordingHost);
  standinClock.now.store(now, std::memory_order_relaxed);
  standinClock.calls.store(0, std::memory_order_relaxed);
  standinSettings = {};
}

extern "C" {

void scriptRegister(void* module, ScriptFunction script) {
  standinRecord(recordingHost, {RegistrationCall::ScriptRegister, module, script, nullptr});
}
void scriptUnregister(ScriptFunction script) {
  standinRecord(recordingHost, {RegistrationCall::ScriptUnregister, nullptr, script, nullptr});
}
void keyboardHandlerRegister(KeyboardHandler handler) {
  standinRecord(recordingHost, {RegistrationCall::HandlerRegister, nullptr, nullptr, handler});
}
void keyboardHandlerUnregister(KeyboardHandler handler) {
  standinRecord(recordingHost, {RegistrationCall::HandlerUnregister, nullptr, nullptr, handler});
}

void scriptWait(std::uint32_t /*milliseconds*/) {
  ++recordingHost.scriptWaitCalls;
  if (recordingHost.scriptWaitLimit != 0 &&
      recordingHost.scriptWaitCalls >= recordingHost.scriptWaitLimit) {
    throw StandinScriptStopped{};
  }
}

void nativeInit(std::uint64_t hash) { standinNativeInit(recordingHost, hash); }
void nativePush64(std::uint64_t value) { standinNativePush64(recordingHost, value); }
std::uint64_t* nativeCall() { return standinNativeCall(recordingHost); }

}  // extern "C"
