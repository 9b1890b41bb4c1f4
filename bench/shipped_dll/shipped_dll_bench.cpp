// What a frame of the shipped plugin costs: dist/Quillmere.asi, loaded by the
// Windows loader (Wine's) next to the stand-in host in its lean mode, which
// records nothing and only answers. The common frame, staying in a vehicle
// with the lights lit, is timed against a floor: a script of this program's
// own that makes exactly the same native calls through the same host, by the
// same import address table, with none of the plugin's logic. Both run as the
// host runs scripts, one fiber switch each way per frame.
//
// Usage: shipped_dll_bench.exe PLUGIN [--quick]   (PLUGIN as Linux or Windows names it)
// Prints "shipped DLL frame/floor ratio: X" (the median over rounds of each);
// exit status 1 when X is over the target, or the plugin does not load.
// --quick runs a few frames only, to keep the program working.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/common/bench_facts.h"
#include "host/natives.h"
#include "standins/scripthookv_dll/scripthookv_dll.h"
#include "tools/wine/windows_path.h"

namespace {

NeonColour scratch;  // where the floor's colour read lands

// The floor: the natives of a staying-in-lit frame, then the wait.
void floorScript() {
  for (;;) {
    const GameHandle character = playerCharacter();
    readNeonColour(occupiedVehicle(character), scratch);
    scriptWait(0);
  }
}

double nowNs() {
  LARGE_INTEGER count;
  LARGE_INTEGER frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart);
}

// Nanoseconds per frame over `frames` frames of whatever scripts are registered.
double timeFrames(int frames) {
  standinRunFrames(10);  // warm: the first frames get in and settle
  const double start = nowNs();
  standinRunFrames(frames);
  return (nowNs() - start) / frames;
}

}  // namespace

int main() {
  const std::vector<std::string> arguments = utf8Arguments();
  if (arguments.size() < 2) {
    std::fprintf(stderr, "usage: shipped_dll_bench.exe PLUGIN [--quick]\n");
    return 2;
  }
  const std::string plugin = windowsPath(arguments[1]);
  const bool quick = arguments.size() > 2 && arguments[2] == "--quick";
  const int frames = quick ? 100 : 200'000;
  const int rounds = quick ? 1 : BenchRounds;

  standinReset(BenchStartTick);
  standinSetLean(1);
  StandinWorld& world = standinState()->world;
  world.player = BenchPlayer;
  worldAddVehicle(world, BenchCarA, BenchLime);
  worldAddVehicle(world, BenchCarB, BenchAmber);
  world.occupied = BenchCarA;

  std::vector<double> frame;
  std::vector<double> floor;
  for (int round = 0; round < rounds; ++round) {
    if (standinLoadPlugin(plugin.c_str(), StandinTestClock) == 0) {
      std::fprintf(stderr, "error: cannot load the plugin %s\n", plugin.c_str());
      return 1;
    }
    frame.push_back(timeFrames(frames));
    standinUnloadPlugin();

    scriptRegister(GetModuleHandleA(nullptr), floorScript);
    floor.push_back(timeFrames(frames));
    scriptUnregister(floorScript);
  }

  if (const char* call = standinState()->failedCall) {
    std::fprintf(stderr, "error: the stand-in host's %s failed: no frames were timed\n", call);
    return 1;
  }
  const double frameNs = benchMedian(frame);
  const double floorNs = benchMedian(floor);
  const double ratio = frameNs / floorNs;
  std::printf("shipped DLL, staying in, lit: frame %.1f ns, floor %.1f ns (median of %d rounds)\n",
              frameNs, floorNs, rounds);
  std::printf("shipped DLL frame/floor ratio: %.2f\n", ratio);
  if (!quick && ratio > BenchTargetRatio) {
    std::printf("FAILED: over the target of %.2f\n", BenchTargetRatio);
    return 1;
  }
  return 0;
}
