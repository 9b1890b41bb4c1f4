// The script host's interface, as the plugin calls it.
//
// The host runs the plugin's script function as one of its scripts, delivers
// keyboard events to the registered handler and forwards native calls to the
// game. These declarations are the seam between the plugin and the host: the
// Windows build resolves them to the host's own exports through the import
// library made from scripthookv.def (which maps each of these C names onto the
// host's MSVC-decorated name); the Linux build links a stand-in instead.
//
// QUILLMERE_IMPORT is set by the build: __declspec(dllimport) for the Windows
// DLL, so that every call goes straight through the import address table
// rather than through a jump thunk; empty for the Linux build.
//
// Threads: the host calls the script function on its script thread, once per
// game frame between two scriptWait calls. It calls the keyboard handler on the
// thread that owns the game window, concurrently with the script. The native
// functions may only be called from the script thread.
#pragma once

#include <cstdint>

// A script function: started by the host, never expected to return.
using ScriptFunction = void (*)();

// A keyboard handler: called once per keyboard event. The four flags are
// 32-bit Windows BOOLs; isUpNow is non-zero when the key goes up.
using KeyboardHandler = void (*)(std::uint32_t key, std::uint16_t repeats, std::uint8_t scanCode,
                                 std::int32_t fourthArgument, std::int32_t fifthArgument,
                                 std::int32_t sixthArgument, std::int32_t isUpNow);

extern "C" {

// Runs `script` as a script of the module `module` (the DLL's HINSTANCE).
QUILLMERE_IMPORT void scriptRegister(void* module, ScriptFunction script);
// Withdraws a script registered by scriptRegister; the host stops running it.
QUILLMERE_IMPORT void scriptUnregister(ScriptFunction script);
// Adds `handler` to the handlers called for every keyboard event.
QUILLMERE_IMPORT void keyboardHandlerRegister(KeyboardHandler handler);
// Removes `handler`; the host makes no further calls to it.
QUILLMERE_IMPORT void keyboardHandlerUnregister(KeyboardHandler handler);

// Yields the script thread to the host. With 0 the host resumes the script on
// its next pass, once per game frame. Milliseconds otherwise.
QUILLMERE_IMPORT void scriptWait(std::uint32_t milliseconds);

// A native call is nativeInit(hash), one nativePush64 per argument (first
// argument first), then nativeCall. nativeCall returns a pointer to the
// host's 64-bit result slot, valid until the next host call: read it at once.
QUILLMERE_IMPORT void nativeInit(std::uint64_t hash);
QUILLMERE_IMPORT void nativePush64(std::uint64_t value);
QUILLMERE_IMPORT std::uint64_t* nativeCall();

}  // extern "C"
