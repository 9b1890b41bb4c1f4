// What the common frame (staying in a lit vehicle) of the shipped plugin
// costs, loaded by the Windows loader (Wine's) beside the stand-in host in
// its lean mode, against a floor: a script of this program's own that makes
// the same native calls through the same host and the same kind of import
// address table, with none of the plugin's logic; both run as the host runs
// scripts. Usage: shipped_dll_bench.exe PLUGIN [--quick]   (--quick: a few
// frames, to keep it working). Exit status 1 when the frame/floor ratio, the
// median over rounds, is over the target.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/common/bench_facts.h"
#include "host/natives.h"
#include "standins/scripthookv_dll/scripthookv_dll.h"
#include "tools/wine/windows_path.h"

namespace {

NeonColour scratch;  // where the floor's colour read lands
// Times are taken in rounds, frame and floor in turn, and the median round
// counts: a moment when the machine is busier weighs on neither.
constexpr int Rounds = 9;
// The common frame may take at most this many times its floor.
constexpr double TargetRatio = 1.30;

double median(std::vector<double> values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// The floor: the natives of a staying-in-lit frame, then the wait.
void floorScript() {
  for (;;) {
    const GameHandle character = playerCharacter();
    readNeonColour(occupiedVehicle(character), scratch);
    scriptWait(0);
  }
}

// Nanoseconds per frame over `frames` frames of whatever script is registered.
double timeFrames(int frames) {
  standinRunFrames(10);  // warm: the first frames get in and settle
  LARGE_INTEGER start;
  LARGE_INTEGER end;
  LARGE_INTEGER frequency;
  QueryPerformanceCounter(&start);
  standinRunFrames(frames);
  QueryPerformanceCounter(&end);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(end.QuadPart - start.QuadPart) * 1e9 /
         static_cast<double>(frequency.QuadPart) / frames;
}

}  // namespace

int main() {  // NOLINT(bugprone-exception-escape): out of memory ends it, as it should
  const std::vector<std::string> arguments = utf8Arguments();
  if (arguments.size() < 2) {
    std::fprintf(stderr, "usage: shipped_dll_bench.exe PLUGIN [--quick]\n");
    return 2;
  }
  const std::string plugin = windowsPath(arguments[1]);
  const bool quick = arguments.size() > 2 && arguments[2] == "--quick";
  const int frames = quick ? 100 : 200'000;
  const int rounds = quick ? 1 : Rounds;

  standinReset(BenchStartTick);
  standinState()->lean = true;
  StandinWorld& world = standinState()->world;
  world.player = BenchPlayer;
  worldAddVehicle(world, BenchCarA, BenchLime);
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

  const double ratio = median(frame) / median(floor);
  std::printf(
      "shipped DLL, staying in, lit: frame %.1f ns, floor %.1f ns (median of %d rounds)\n"
      "shipped DLL frame/floor ratio: %.2f\n",
      median(frame), median(floor), rounds, ratio);
  if (!quick && ratio > TargetRatio) {
    std::printf("FAILED: over the target of %.2f\n", TargetRatio);
    return 1;
  }
  return 0;
}
