// A stand-in for the script host, built as a Windows "ScriptHookV.dll", so
// that the shipped plugin can be loaded by the Windows loader (Wine's) and
// driven as the real host drives it:
//
// - each registered script runs on a fiber of its own; scriptWait switches
//   back to the host, and one frame (standinRunFrames) resumes every script
//   once, as the real host does once per game frame;
// - keyboard events reach the registered handlers from an input thread of
//   the host's own, as the real host delivers them from the game window's
//   thread;
// - the four natives are answered by the tiny world of standins/world, and
//   every registration and native call is recorded (unless lean);
// - the plugin's import of GetTickCount can be pointed at a clock the test
//   sets, by patching the loaded plugin's import address table.
//
// The control functions below are this DLL's own exports, for the end-to-end
// tests and the ride simulator; the plugin sees only the host's eight.
// All of them are called from one thread, the one that runs the frames.
#pragma once

#include <cstdint>

#include "standins/world/world.h"

#ifdef SCRIPTHOOKV_DLL_BUILDING
#define STANDIN_API extern "C" __declspec(dllexport)
#else
#define STANDIN_API extern "C" __declspec(dllimport)
#endif

// What the host knows and has seen since the last reset.
struct StandinDllState {
  StandinWorld world;                  // what the natives answer from
  NativeCallLog natives;               // native calls since the last clear
  RegistrationLog registrations;       // registration calls, oldest first
  std::uint32_t lastWaitMilliseconds;  // scriptWait's latest argument
  std::uint32_t scriptStarts;          // script functions started (first run or restart)
  std::uint32_t refusedScripts;        // scriptRegister calls with every script slot taken
  std::uint32_t refusedHandlers;       // keyboardHandlerRegister calls with every slot taken
  // The first Windows call of the host's own that failed (CreateThread,
  // ConvertThreadToFiber, CreateFiber, VirtualProtect), by name; null while
  // none has. What it was for did not happen: a test that sees it must fail.
  const char* failedCall;
};

// Which clock a loaded plugin's GetTickCount reads.
enum StandinClock : int {
  StandinRealClock = 0,  // the system's own
  StandinTestClock = 1,  // the one standinSetClock sets
};

// The host's state, for tests to set the world and read the records.
STANDIN_API StandinDllState* standinState();

// Clears the world and every record and sets the test clock to `now`. Call
// with no plugin loaded.
STANDIN_API void standinReset(std::uint32_t now);

// Loads the plugin from `path` (a Windows path, in UTF-8); with
// StandinTestClock, its GetTickCount import is pointed at the clock
// standinSetClock sets. Returns 0, with nothing new loaded, when a plugin is
// loaded already, or the module does not load or has no such import.
STANDIN_API int standinLoadPlugin(const char* path, StandinClock clock);
// Unloads the plugin loaded by standinLoadPlugin.
STANDIN_API void standinUnloadPlugin();

// Runs `count` frames: each resumes every registered script once.
STANDIN_API void standinRunFrames(int count);
// Restarts every registered script: its next frame starts the script
// function afresh on a new fiber, the module staying loaded.
STANDIN_API void standinRestartScripts();
// How many scripts are registered.
STANDIN_API int standinScriptCount();
// How many keyboard handlers are registered.
STANDIN_API int standinHandlerCount();

// Delivers one keyboard event to every registered handler on the input
// thread, and returns once it has been delivered.
STANDIN_API void standinSendKey(std::uint32_t key, std::uint16_t repeats, std::uint8_t scanCode,
                                std::int32_t fourth, std::int32_t fifth, std::int32_t sixth,
                                std::int32_t isUpNow);
// Queues the same for the input thread and returns at once.
STANDIN_API void standinPostKey(std::uint32_t key, std::uint16_t repeats, std::uint8_t scanCode,
                                std::int32_t fourth, std::int32_t fifth, std::int32_t sixth,
                                std::int32_t isUpNow);
// Returns once every queued event has been delivered.
STANDIN_API void standinWaitForKeys();

// With `on` non-zero the host records nothing, neither registrations nor
// native calls, and does the least a real host must: keep each call's hash
// and arguments and answer it. For timing the shipped plugin. A mode of the
// host, kept across standinReset; off until set.
STANDIN_API void standinSetLean(int on);

// The test clock that a plugin loaded with StandinTestClock reads as GetTickCount.
STANDIN_API void standinSetClock(std::uint32_t now);
