// The stand-in script host, ScriptHookV.dll: see scripthookv_dll.h.
#define SCRIPTHOOKV_DLL_BUILDING
#include "standins/scripthookv_dll/scripthookv_dll.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

// The registered script. Invariant: function is null when none is; fiber is
// null until its first frame after registration or restart.
struct Script {
  ScriptFunction function;  // what the script runs
  void* fiber;              // the fiber it runs on
  bool returned;            // the function returned (the host then never resumes it)
};

// A keyboard event, the handler's seven arguments.
struct KeyEvent {
  std::uint32_t key;
  std::uint16_t repeats;
  std::uint8_t scanCode;
  std::int32_t fourth, fifth, sixth, isUpNow;
};

StandinDllState state;
Script script;
bool scriptRunning;  // the script's fiber runs now, not the frame loop's
void* hostFiber;     // the frame loop's fiber

// The handler is read by the input thread and changed by the frame thread.
SRWLOCK handlerLock = SRWLOCK_INIT;
KeyboardHandler handler;

// The input thread, started with the first event: it waits, alertable, and
// each event is an asynchronous procedure call queued to it, run in order.
HANDLE inputThread;
HMODULE plugin;

// The test clock's reading. Relaxed: one value with no other data hanging
// on it; the test sets it between frames, and a key event reading an old
// value for a moment is as it would be with a real clock.
std::atomic<std::uint32_t> testTicks;

// Ends the process: the host cannot do what a test relies on.
[[noreturn]] void fatal(const char* what) {
  std::fprintf(stderr, "the stand-in host: %s\n", what);
  std::fflush(stderr);
  ExitProcess(3);
}

DWORD WINAPI testGetTickCount() { return testTicks.load(std::memory_order_relaxed); }

// Points `module`'s import of KERNEL32's `name` at `replacement`; false when
// it has none. The plugin calls its imports through its import address
// table, so this redirects every call.
bool patchImport(HMODULE module, const char* name, void* replacement) {
  auto* base = reinterpret_cast<std::uint8_t*>(module);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       imports.VirtualAddress != 0 && dll->Name != 0; ++dll) {
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
    for (; _stricmp(reinterpret_cast<const char*>(base + dll->Name), "KERNEL32.dll") == 0 &&
           names->u1.AddressOfData != 0;
         ++names, ++slot) {
      const auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) ||
          std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) {
        continue;
      }
      DWORD protection = 0;
      if (VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE,
                         &protection) == 0) {
        fatal("VirtualProtect failed");
      }
      slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
      return true;
    }
  }
  return false;
}

void WINAPI runScript(void*) {
  ++state.scriptStarts;
  script.function();
  // A script function is not meant to return; if one does, it is not resumed.
  script.returned = true;
  for (;;) {
    SwitchToFiber(hostFiber);
  }
}

void dropFiber() {
  if (script.fiber != nullptr) {
    DeleteFiber(script.fiber);
    script.fiber = nullptr;
  }
  script.returned = false;
}

void CALLBACK deliver(ULONG_PTR data) {
  const KeyEvent event = *reinterpret_cast<KeyEvent*>(data);
  delete reinterpret_cast<KeyEvent*>(data);
  AcquireSRWLockExclusive(&handlerLock);
  if (handler != nullptr) {
    handler(event.key, event.repeats, event.scanCode, event.fourth, event.fifth, event.sixth,
            event.isUpNow);
  }
  ReleaseSRWLockExclusive(&handlerLock);
}

void CALLBACK signal(ULONG_PTR done) { SetEvent(reinterpret_cast<HANDLE>(done)); }

DWORD WINAPI waitForEvents(void*) {
  for (;;) {
    SleepEx(INFINITE, TRUE);
  }
}

// Queues `call` with `data` for the input thread.
void queue(PAPCFUNC call, ULONG_PTR data) {
  if (inputThread == nullptr &&
      (inputThread = CreateThread(nullptr, 0, waitForEvents, nullptr, 0, nullptr)) == nullptr) {
    fatal("CreateThread failed");
  }
  if (QueueUserAPC(call, inputThread, data) == 0) {
    fatal("QueueUserAPC failed");
  }
}

}  // namespace

// --- The host's eight functions, exported under the decorated names (scripthookv_dll.def).

extern "C" {

void standinDllScriptRegister(void* module, ScriptFunction function) {
  standinRecord(state, {RegistrationCall::ScriptRegister, module, function, nullptr});
  if (script.function != nullptr) {
    fatal("a second script registered; it holds one");
  }
  script = {function, nullptr, false};
}

void standinDllScriptUnregister(ScriptFunction function) {
  standinRecord(state, {RegistrationCall::ScriptUnregister, nullptr, function, nullptr});
  if (script.function == function) {
    dropFiber();
    script.function = nullptr;
  }
}

void standinDllKeyboardHandlerRegister(KeyboardHandler registered) {
  standinRecord(state, {RegistrationCall::HandlerRegister, nullptr, nullptr, registered});
  if (handler != nullptr) {  // written on this thread alone
    fatal("a second keyboard handler registered; it holds one");
  }
  AcquireSRWLockExclusive(&handlerLock);
  handler = registered;
  ReleaseSRWLockExclusive(&handlerLock);
}

void standinDllKeyboardHandlerUnregister(KeyboardHandler registered) {
  standinRecord(state, {RegistrationCall::HandlerUnregister, nullptr, nullptr, registered});
  // Taking the lock waits out a delivery in progress: after this returns the
  // handler is not called again, and its module may go.
  AcquireSRWLockExclusive(&handlerLock);
  handler = handler == registered ? nullptr : handler;
  ReleaseSRWLockExclusive(&handlerLock);
}

void standinDllScriptWait(DWORD milliseconds) {
  state.lastWaitMilliseconds = milliseconds;
  if (scriptRunning) {
    SwitchToFiber(hostFiber);
  }
}

void standinDllNativeInit(std::uint64_t hash) { standinNativeInit(state, hash); }
void standinDllNativePush64(std::uint64_t value) { standinNativePush64(state, value); }
std::uint64_t* standinDllNativeCall() { return standinNativeCall(state); }

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
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, widePath, MAX_PATH * 4) == 0 ||
      (plugin = LoadLibraryW(widePath)) == nullptr) {
    return 0;
  }
  if (clock == StandinTestClock &&
      !patchImport(plugin, "GetTickCount", reinterpret_cast<void*>(testGetTickCount))) {
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
  // The thread that runs frames becomes the host's fiber, once, on its first frame.
  if (hostFiber == nullptr && (hostFiber = ConvertThreadToFiber(nullptr)) == nullptr) {
    fatal("ConvertThreadToFiber failed");
  }
  for (int frame = 0; frame < count && script.function != nullptr && !script.returned; ++frame) {
    if (script.fiber == nullptr && (script.fiber = CreateFiber(0, runScript, nullptr)) == nullptr) {
      fatal("CreateFiber failed");
    }
    scriptRunning = true;
    SwitchToFiber(script.fiber);
    scriptRunning = false;
  }
}

STANDIN_API void standinRestartScripts() { dropFiber(); }

STANDIN_API void standinPostKey(std::uint32_t key, std::uint16_t repeats, std::uint8_t scanCode,
                                std::int32_t fourth, std::int32_t fifth, std::int32_t sixth,
                                std::int32_t isUpNow) {
  queue(deliver, reinterpret_cast<ULONG_PTR>(
                     new KeyEvent{key, repeats, scanCode, fourth, fifth, sixth, isUpNow}));
}

STANDIN_API void standinWaitForKeys() {
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (done == nullptr) {
    fatal("CreateEvent failed");
  }
  queue(signal, reinterpret_cast<ULONG_PTR>(done));
  WaitForSingleObject(done, INFINITE);
  CloseHandle(done);
}

STANDIN_API void standinSetClock(std::uint32_t now) {
  testTicks.store(now, std::memory_order_relaxed);
}
