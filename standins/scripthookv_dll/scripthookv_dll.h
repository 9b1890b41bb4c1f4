// A stand-in for the script host, built as a Windows "ScriptHookV.dll" that
// the Windows loader (Wine's) loads the shipped plugin beside and that drives
// it as the real host does (docs/standin-host.md): its one script on a fiber,
// resumed once a frame; keyboard events from an input thread of its own; the
// natives answered by standins/world, every call recorded (unless lean); its
// GetTickCount import pointed at a clock the test sets. A second script or
// handler, or a Windows call of its own that fails, ends the process with a
// line on standard error. The control functions below are for the tests, the
// ride and the benchmark, all called from the one thread that runs frames.
#pragma once

#include <cstdint>

#include "standins/world/world.h"

#ifdef SCRIPTHOOKV_DLL_BUILDING
#define STANDIN_API extern "C" __declspec(dllexport)
#else
#define STANDIN_API extern "C" __declspec(dllimport)
#endif

// What the host knows and has seen since the last reset.
struct StandinDllState : StandinHost {
  std::uint32_t lastWaitMilliseconds;  // scriptWait's latest argument
  std::uint32_t scriptStarts;          // script functions started (first run or restart)
};

// Which clock a loaded plugin's GetTickCount reads.
enum StandinClock : int {
  StandinRealClock = 0,  // the system's own
  StandinTestClock = 1,  // the one standinSetClock sets
};

// The host's state, for tests to set the world and read the records.
STANDIN_API StandinDllState* standinState();

// Clears the state, lean included, and sets the test clock to `now`. Call
// with no plugin loaded.
STANDIN_API void standinReset(std::uint32_t now);

// Loads the plugin from `path` (a Windows path, in UTF-8); with
// StandinTestClock, its GetTickCount import reads the clock standinSetClock
// sets. Returns 0, with nothing new loaded, when a plugin is loaded already,
// or the module does not load or has no GetTickCount import. (Wine loads a
// module whose imports the host does not export, bound to stubs:
// tests/package/check_dll.py holds the plugin's imports to the host's.)
STANDIN_API int standinLoadPlugin(const char* path, StandinClock clock);
// Unloads the plugin loaded by standinLoadPlugin.
STANDIN_API void standinUnloadPlugin();

// Runs `count` frames: each resumes the registered script once.
STANDIN_API void standinRunFrames(int count);
// Restarts the registered script: its next frame starts the script function
// afresh on a new fiber, the module staying loaded.
STANDIN_API void standinRestartScripts();

// Queues one keyboard event for the registered handler, delivered on the
// input thread, and returns at once.
STANDIN_API void standinPostKey(std::uint32_t key, std::uint16_t repeats, std::uint8_t scanCode,
                                std::int32_t fourth, std::int32_t fifth, std::int32_t sixth,
                                std::int32_t isUpNow);
// Returns once every queued event has been delivered.
STANDIN_API void standinWaitForKeys();

// The test clock that a plugin loaded with StandinTestClock reads as GetTickCount.
STANDIN_API void standinSetClock(std::uint32_t now);
