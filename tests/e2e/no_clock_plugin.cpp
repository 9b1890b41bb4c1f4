// A plugin that registers a script with the host but imports no GetTickCount:
// the stand-in host cannot point its clock at the test's, so it must refuse
// the plugin and leave nothing of it loaded or registered.
#include <cstdint>

#include "host/host.h"

namespace {
void script() {
  for (;;) {
    scriptWait(0);
  }
}
}  // namespace

extern "C" std::int32_t DllMain(void* module, std::uint32_t reason, void* /*reserved*/) {
  if (reason == 1) {
    scriptRegister(module, script);
  } else if (reason == 0) {
    scriptUnregister(script);
  }
  return 1;
}
