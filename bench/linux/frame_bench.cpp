// What a frame of the plugin costs, per situation, in instructions of its
// own: a frame's less its floor's (the same native calls in the same order,
// none of the plugin's logic) through the Linux build's stand-in host, lean,
// counted by callgrind, which this program runs on itself. They repeat on
// any machine, busy or not, and each situation has a budget, in the table
// below. (Time is measured where a player spends it, on the shipped DLL:
// bench/shipped_dll.)
// Usage: frame_bench [--counts-only]   (--counts-only: budgets not judged,
// for a compiler other than g++, which builds the shipped DLL). Exit status
// 1 when a situation's own instructions are over budget or not counted.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/common/bench_facts.h"
#include "standins/linux/standins.h"
#include "tests/common/player_facts.h"
#include "tests/common/plugin_state.h"

namespace {

constexpr std::uint32_t Now = BenchStartTick;
constexpr NeonColour Lime = BenchLime;
constexpr NeonColour Amber = BenchAmber;
constexpr int CountedFrames = 1000;

NeonColour scratch;  // where the floor's getter writes

// A situation, as the world and the plugin stand before each of its frames
// (the vehicle the player sat in at the last frame and sits in now, 0 on foot;
// the lights; the hotkey held or not), so that every frame is alike; the
// floor, the native calls such a frame makes as the floor makes them; and
// the budget of its own instructions: a quarter over what g++ took when it
// was set (docs/cost.md says how a change raises one).
struct Situation {
  const char* name;
  GameHandle before, now;
  bool lit, held;
  void (*floor)();
  double budget;
};

// Every frame asks for the player's character and its vehicle; then, in this
// order, a colour may be put back on the vehicle left, read from the one sat
// in, or set dark on it. The floor for each mix, with no branch of its own.
template <bool PutsBack, bool Reads, bool Darkens>
void floor() {
  playerCharacter();
  occupiedVehicle(BenchPlayer);
  if constexpr (PutsBack) {
    setNeonColour(BenchCarA, Lime.red, Lime.green, Lime.blue);
  }
  if constexpr (Reads) {
    readNeonColour(recordingHost.world.occupied, scratch);
  }
  if constexpr (Darkens) {
    setNeonColour(BenchCarA, 0, 0, 0);
  }
}

const Situation situations[] = {
    {"on foot", 0, 0, true, false, floor<false, false, false>, 11},
    {"getting in", 0, BenchCarA, true, false, floor<false, true, false>, 20},
    {"staying in, lit", BenchCarA, BenchCarA, true, false, floor<false, true, false>, 35},
    {"staying in, dark", BenchCarA, BenchCarA, false, false, floor<false, false, false>, 35},
    {"switch (lit to dark)", BenchCarA, BenchCarA, true, true, floor<false, true, true>, 83},
    {"getting out", BenchCarA, 0, false, false, floor<true, false, false>, 33},
    {"vehicle to vehicle", BenchCarA, BenchCarB, false, false, floor<true, true, false>, 41},
};

// The world for `situation`, once: the player, two vehicles, the hotkey the
// default one (there is no settings file), held or not.
void setup(const Situation& situation) {
  resetPluginState();
  resetStandins(Now);
  recordingHost.lean = true;
  loadHotkeySettings();
  recordingHost.world.player = BenchPlayer;
  worldAddVehicle(recordingHost.world, BenchCarA, Lime);
  worldAddVehicle(recordingHost.world, BenchCarB, Amber);
  recordingHost.world.occupied = situation.now;
  if (situation.held) {
    handleKeyEvent(DefaultKey, 1, 0, 0, 0, 0, 0);  // from Now on
  }
}

enum Kind { Frame, Floor };

// What each frame starts from, then the frame or its floor.
void runOne(const Situation& situation, Kind kind) {
  neonState = {situation.before, situation.before, Lime, situation.lit};
  lastSwitchTick = Now - (SwitchSpacingMs + 1);
  if (kind == Frame) {
    runFrame();
  } else {
    situation.floor();
  }
}

// Under callgrind: each situation's frame, then its floor, counted alone, each
// in its own dump, in the table's order.
int countInstructions() {
  for (const Situation& situation : situations) {
    for (Kind kind : {Frame, Floor}) {
      setup(situation);
      for (int i = 0; i < 10; ++i) {  // warm: lazy binding and caches out of the count
        runOne(situation, kind);
      }
      setup(situation);
      CALLGRIND_ZERO_STATS;
      for (int i = 0; i < CountedFrames; ++i) {
        runOne(situation, kind);
      }
      CALLGRIND_DUMP_STATS;
    }
  }
  return 0;
}

// Runs this program under callgrind and reads the instructions per frame of
// each dump, in their order; a dump it cannot read (valgrind missing or
// failing) is NaN, over any budget.
std::vector<double> instructionsPerFrame() {
  std::vector<double> result(2 * std::size(situations), std::nan(""));
  std::string made =
      (std::filesystem::temp_directory_path() / "quillmere-callgrind-XXXXXX").string();
  if (mkdtemp(made.data()) == nullptr) {
    return result;
  }
  const std::filesystem::path folder = made;
  // valgrind is started with its arguments as they are, no shell between:
  // a path is never read as a shell's words. Quiet: it says nothing unless
  // something goes wrong.
  std::string words[] = {"valgrind",
                         "--quiet",
                         "--tool=callgrind",
                         "--callgrind-out-file=" + (folder / "out").string(),
                         std::filesystem::read_symlink("/proc/self/exe").string(),
                         "--count-instructions"};
  char* arguments[] = {words[0].data(), words[1].data(), words[2].data(), words[3].data(),
                       words[4].data(), words[5].data(), nullptr};
  pid_t child = 0;
  int status = -1;
  if (posix_spawnp(&child, "valgrind", nullptr, nullptr, arguments, environ) == 0) {
    waitpid(child, &status, 0);
  }
  for (std::size_t dump = 0; status == 0 && dump < result.size(); ++dump) {
    std::ifstream in(folder / ("out." + std::to_string(dump + 1)));
    for (std::string text; std::getline(in, text);) {
      if (text.starts_with("totals: ")) {
        result[dump] = std::atof(text.substr(8).c_str()) / CountedFrames;
      }
    }
  }
  std::filesystem::remove_all(folder);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string flag = argc == 2 ? argv[1] : "";
  if (flag == "--count-instructions") {
    return countInstructions();
  }
  if (argc > 2 || !(argc == 1 || flag == "--counts-only")) {
    std::fprintf(stderr, "usage: frame_bench [--counts-only]\n");
    return 2;
  }
  const bool judged = argc == 1;
  const std::vector<double> instructions = instructionsPerFrame();
  std::printf(
      "Own instructions per frame, a frame's less its floor's (callgrind, %d frames each)\n\n"
      "%-22s %8s %8s\n",
      CountedFrames, "situation", "own", "budget");
  int status = 0;
  for (std::size_t i = 0; i < std::size(situations); ++i) {
    const Situation& situation = situations[i];
    const double own = instructions[2 * i] - instructions[2 * i + 1];
    const bool over = !(own <= situation.budget);
    std::printf("%-22s %8.1f %8.0f%s\n", situation.name, own, situation.budget,
                !over    ? ""
                : judged ? "  FAILED: over budget, or not counted"
                         : "  over budget (not judged: --counts-only)");
    status |= over && judged ? 1 : 0;
  }
  return status;
}
