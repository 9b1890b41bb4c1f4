// The DLL entry point: the plugin's only way in. It hands the host the two
// callbacks on load and takes them back on unload; it reads no settings and
// sets up no state, since all state starts from fixed values in static storage.
#include <cstdint>

#include "host/host.h"
#include "input/key_state.h"
#include "neon/script_loop.h"

namespace {
constexpr std::uint32_t DllProcessDetach = 0;
constexpr std::uint32_t DllProcessAttach = 1;
}  // namespace

// Windows' BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID), in binary-equal types.
// Always TRUE: there is nothing here that can fail.
extern "C" std::int32_t DllMain(void* module, std::uint32_t reason, void* /*reserved*/) {
  if (reason == DllProcessAttach) {
    scriptRegister(module, scriptEntry);
    keyboardHandlerRegister(handleKeyEvent);
  } else if (reason == DllProcessDetach) {
    // The script first: it reads the key table the handler writes.
    scriptUnregister(scriptEntry);
    keyboardHandlerUnregister(handleKeyEvent);
  }
  return 1;
}
