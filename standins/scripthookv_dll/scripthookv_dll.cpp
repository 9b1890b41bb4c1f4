// The stand-in script host, ScriptHookV.dll: see scripthookv_dll.h.
#define SCRIPTHOOKV_DLL_BUILDING
#include "standins/scripthookv_dll/scripthookv_dll.h"

#include <windows.h>

#include <atomic>
#include <cstring>

namespace {

constexpr int MaxScripts = 8;
constexpr int MaxHandlers = 8;
constexpr int KeyQueueSize = 1024;

// A registered script. Invariant: function is null exactly for a free slot;
// fiber is null until the slot's first frame after registration or restart.
struct Script {
  ScriptFunction function;  // what the script runs
  void* fiber;              // the fiber it runs on
  bool returned;            // the function returned (the host then never resumes it)
};

struct KeyEvent {
  std::uint32_t key;
  std::uint16_t repeats;
  std::uint8_t scanCode;
  std::int32_t fourth, fifth, sixth, isUpNow;
};

// The input thread's queue. Invariant: queued - delivered events wait in
// events[delivered % size ..], and queued - delivered <= KeyQueueSize.
struct KeyQueue {
  CRITICAL_SECTION lock;          // guards the fields below; events are copied out under it
  CONDITION_VARIABLE changed;     // signalled on every push and every delivery
  KeyEvent events[KeyQueueSize];  // ring buffer
  std::uint64_t queued;           // events ever queued
  std::uint64_t delivered;        // events ever delivered to the handlers
  HANDLE thread;                  // the input thread, started with the first event
};

StandinDllState state;
// Set by standinSetLean, kept across standinReset: a mode of the host, not a record.
bool lean;
NativeCallRecord pendingCall;  // the native call between nativeInit and nativeCall
std::uint64_t resultSlot;      // what nativeCall returns a pointer to
Script scripts[MaxScripts];
bool scriptRunning;  // a script's fiber runs now, not the frame loop's
void* hostFiber;     // the frame loop's fiber

// Handlers are read by the input thread and changed by the frame thread.
CRITICAL_SECTION handlerLock;
KeyboardHandler handlers[MaxHandlers];

KeyQueue keys;
HMODULE plugin;
HMODULE self;  // this DLL, the host

// The test clock's reading. Relaxed: one value with no other data hanging
// on it; the test sets it between frames, and a key event reading an old
// value for a moment is as it would be with a real clock.
std::atomic<std::uint32_t> testTicks;

// Notes the first of the host's own Windows calls that failed, for the test.
// The input thread calls none of them, so the frame thread alone writes it.
void failed(const char* call) {
  if (state.failedCall == nullptr) {
    state.failedCall = call;
  }
}

void record(const RegistrationRecord& entry) {
  if (!lean) {
    worldRecordRegistration(state.registrations, entry);
  }
}

DWORD WINAPI testGetTickCount() { return testTicks.load(std::memory_order_relaxed); }

// Calls visit(name, slot) for each function the image at `base` imports by
// name from `dll`, `slot` being its entry in the import address table, until
// visit returns true; true when one did.
template <typename Visit>
bool anyImport(std::uint8_t* base, const char* dll, Visit visit) {
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) {
    return false;
  }
  for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       import->Name != 0; ++import) {
    if (_stricmp(reinterpret_cast<const char*>(base + import->Name), dll) != 0) {
      continue;
    }
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
        continue;
      }
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (visit(reinterpret_cast<const char*>(byName->Name), slots)) {
        return true;
      }
    }
  }
  return false;
}

// Whether the DLL at `path` imports from the host only what the host
// exports, read from the file mapped as an image, before anything of it
// runs. Windows' loader refuses such a DLL; Wine's binds the missing
// function to a stub and loads it, so the check is made here.
bool hostExportsEveryImport(const wchar_t* path) {
  HMODULE image = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (image == nullptr) {
    return true;  // not an image at all: the load itself fails, as it should
  }
  // An image resource's handle has its low bits set; the image starts below.
  auto* base = reinterpret_cast<std::uint8_t*>(reinterpret_cast<ULONG_PTR>(image) &
                                               ~static_cast<ULONG_PTR>(3));
  const bool missing = anyImport(base, "ScriptHookV.dll", [](const char* name, IMAGE_THUNK_DATA*) {
    return GetProcAddress(self, name) == nullptr;
  });
  FreeLibrary(image);
  return !missing;
}

// Points `module`'s import of dll!name at `replacement`. The plugin calls
// imports through its import address table, so this redirects every call.
bool patchImport(HMODULE module, const char* dll, const char* name, void* replacement) {
  return anyImport(reinterpret_cast<std::uint8_t*>(module), dll,
                   [name, replacement](const char* imported, IMAGE_THUNK_DATA* slot) {
                     if (std::strcmp(imported, name) != 0) {
                       return false;
                     }
                     DWORD protection = 0;
                     if (VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function,
                                        PAGE_READWRITE, &protection) == 0) {
                       failed("VirtualProtect");
                       return false;
                     }
                     slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
                     if (VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection,
                                        &protection) == 0) {
                       failed("VirtualProtect");
                     }
                     return true;
                   });
}

void WINAPI runScript(void* parameter) {
  Script& script = *static_cast<Script*>(parameter);
  ++state.scriptStarts;
  script.function();
  // A script function is not meant to return; if one does, it is not resumed.
  script.returned = true;
  for (;;) {
    SwitchToFiber(hostFiber);
  }
}

void dropFiber(Script& script) {
  if (script.fiber != nullptr) {
    DeleteFiber(script.fiber);
    script.fiber = nullptr;
  }
  script.returned = false;
}

void deliver(const KeyEvent& event) {
  EnterCriticalSection(&handlerLock);
  for (KeyboardHandler handler : handlers) {
    if (handler != nullptr) {
      handler(event.key, event.repeats, event.scanCode, event.fourth, event.fifth, event.sixth,
              event.isUpNow);
    }
  }
  LeaveCriticalSection(&handlerLock);
}

DWORD WINAPI inputThread(void*) {
  EnterCriticalSection(&keys.lock);
  for (;;) {
    while (keys.delivered == keys.queued) {
      SleepConditionVariableCS(&keys.changed, &keys.lock, INFINITE);
    }
    const KeyEvent event = keys.events[keys.delivered % KeyQueueSize];
    LeaveCriticalSection(&keys.lock);
    deliver(event);
    EnterCriticalSection(&keys.lock);
    ++keys.delivered;
    WakeAllConditionVariable(&keys.changed);
  }
}

// Queues `event` for the input thread; its number, to wait for, or 0 when
// no input thread could be started (the event is then dropped).
std::uint64_t post(const KeyEvent& event) {
  EnterCriticalSection(&keys.lock);
  if (keys.thread == nullptr) {
    keys.thread = CreateThread(nullptr, 0, inputThread, nullptr, 0, nullptr);
    if (keys.thread == nullptr) {
      LeaveCriticalSection(&keys.lock);
      failed("CreateThread");
      return 0;
    }
  }
  while (keys.queued - keys.delivered == KeyQueueSize) {
    SleepConditionVariableCS(&keys.changed, &keys.lock, INFINITE);
  }
  keys.events[keys.queued % KeyQueueSize] = event;
  const std::uint64_t sequence = ++keys.queued;
  WakeAllConditionVariable(&keys.changed);
  LeaveCriticalSection(&keys.lock);
  return sequence;
}

void waitUntilDelivered(std::uint64_t sequence) {
  EnterCriticalSection(&keys.lock);
  while (keys.delivered < sequence) {
    SleepConditionVariableCS(&keys.changed, &keys.lock, INFINITE);
  }
  LeaveCriticalSection(&keys.lock);
}

}  // namespace

// --- The host's eight functions, exported under the decorated names (scripthookv_dll.def).

extern "C" {

void standinDllScriptRegister(void* module, ScriptFunction function) {
  record({RegistrationCall::ScriptRegister, module, function, nullptr});
  for (Script& script : scripts) {
    if (script.function == nullptr) {
      script = {function, nullptr, false};
      return;
    }
  }
  ++state.refusedScripts;
}

void standinDllScriptUnregister(ScriptFunction function) {
  record({RegistrationCall::ScriptUnregister, nullptr, function, nullptr});
  for (Script& script : scripts) {
    if (script.function == function) {
      dropFiber(script);
      script.function = nullptr;
    }
  }
}

void standinDllKeyboardHandlerRegister(KeyboardHandler handler) {
  record({RegistrationCall::HandlerRegister, nullptr, nullptr, handler});
  bool taken = false;
  EnterCriticalSection(&handlerLock);
  for (KeyboardHandler& slot : handlers) {
    if (slot == nullptr) {
      slot = handler;
      taken = true;
      break;
    }
  }
  LeaveCriticalSection(&handlerLock);
  if (!taken) {
    ++state.refusedHandlers;
  }
}

void standinDllKeyboardHandlerUnregister(KeyboardHandler handler) {
  record({RegistrationCall::HandlerUnregister, nullptr, nullptr, handler});
  // Taking the lock waits out a delivery in progress: after this returns the
  // handler is not called again, and its module may go.
  EnterCriticalSection(&handlerLock);
  for (KeyboardHandler& slot : handlers) {
    if (slot == handler) {
      slot = nullptr;
    }
  }
  LeaveCriticalSection(&handlerLock);
}

void standinDllScriptWait(DWORD milliseconds) {
  state.lastWaitMilliseconds = milliseconds;
  if (scriptRunning) {
    SwitchToFiber(hostFiber);
  }
}

void standinDllNativeInit(std::uint64_t hash) { worldBeginNativeCall(pendingCall, hash); }
void standinDllNativePush64(std::uint64_t value) { worldPushNativeArgument(pendingCall, value); }
std::uint64_t* standinDllNativeCall() {
  if (!lean) {
    worldLogNativeCall(state.natives, pendingCall);
  }
  resultSlot = worldAnswerNative(state.world, pendingCall);
  return &resultSlot;
}

}  // extern "C"

// --- Control.

STANDIN_API StandinDllState* standinState() { return &state; }

STANDIN_API void standinReset(std::uint32_t now) {
  std::memset(static_cast<void*>(&state), 0, sizeof state);
  testTicks.store(now, std::memory_order_relaxed);
}

STANDIN_API int standinLoadPlugin(const char* path, StandinClock clock) {
  if (plugin != nullptr) {
    return 0;  // one plugin at a time: a second would take the first one's handle
  }
  // Wide, from UTF-8: a path keeps every letter, whatever the code page.
  wchar_t widePath[MAX_PATH * 4];
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, widePath, MAX_PATH * 4) == 0) {
    return 0;
  }
  if (!hostExportsEveryImport(widePath)) {
    return 0;
  }
  plugin = LoadLibraryW(widePath);
  if (plugin == nullptr) {
    return 0;
  }
  if (clock == StandinTestClock && !patchImport(plugin, "KERNEL32.dll", "GetTickCount",
                                                reinterpret_cast<void*>(testGetTickCount))) {
    // Not left loaded on the real clock: unloading withdraws what it registered.
    standinUnloadPlugin();
    return 0;
  }
  return 1;
}

STANDIN_API void standinUnloadPlugin() {
  if (plugin != nullptr) {
    FreeLibrary(plugin);
    plugin = nullptr;
  }
}

STANDIN_API void standinRunFrames(int count) {
  if (hostFiber == nullptr) {
    // The thread that runs frames becomes the host's fiber, once, on its first frame.
    hostFiber = ConvertThreadToFiber(nullptr);
    if (hostFiber == nullptr) {
      failed("ConvertThreadToFiber");
      return;
    }
  }
  for (int frame = 0; frame < count; ++frame) {
    for (Script& script : scripts) {
      if (script.function == nullptr || script.returned) {
        continue;
      }
      if (script.fiber == nullptr) {
        script.fiber = CreateFiber(0, runScript, &script);
        if (script.fiber == nullptr) {
          failed("CreateFiber");
          continue;
        }
      }
      scriptRunning = true;
      SwitchToFiber(script.fiber);
      scriptRunning = false;
    }
  }
}

STANDIN_API void standinRestartScripts() {
  for (Script& script : scripts) {
    dropFiber(script);
  }
}

STANDIN_API int standinScriptCount() {
  int count = 0;
  for (const Script& script : scripts) {
    count += script.function != nullptr ? 1 : 0;
  }
  return count;
}

STANDIN_API int standinHandlerCount() {
  EnterCriticalSection(&handlerLock);
  int count = 0;
  for (KeyboardHandler handler : handlers) {
    count += handler != nullptr ? 1 : 0;
  }
  LeaveCriticalSection(&handlerLock);
  return count;
}

STANDIN_API void standinSendKey(std::uint32_t key, std::uint16_t repeats, std::uint8_t scanCode,
                                std::int32_t fourth, std::int32_t fifth, std::int32_t sixth,
                                std::int32_t isUpNow) {
  waitUntilDelivered(post({key, repeats, scanCode, fourth, fifth, sixth, isUpNow}));
}

STANDIN_API void standinPostKey(std::uint32_t key, std::uint16_t repeats, std::uint8_t scanCode,
                                std::int32_t fourth, std::int32_t fifth, std::int32_t sixth,
                                std::int32_t isUpNow) {
  post({key, repeats, scanCode, fourth, fifth, sixth, isUpNow});
}

STANDIN_API void standinWaitForKeys() {
  EnterCriticalSection(&keys.lock);
  const std::uint64_t queued = keys.queued;
  LeaveCriticalSection(&keys.lock);
  waitUntilDelivered(queued);
}

STANDIN_API void standinSetLean(int on) { lean = on != 0; }

STANDIN_API void standinSetClock(std::uint32_t now) {
  testTicks.store(now, std::memory_order_relaxed);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    self = instance;
    InitializeCriticalSection(&handlerLock);
    InitializeCriticalSection(&keys.lock);
    InitializeConditionVariable(&keys.changed);
  }
  return TRUE;
}
