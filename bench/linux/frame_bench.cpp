// What a frame costs, per situation, against a floor that makes the same
// native calls in the same order with none of the plugin's logic.
//
// Times come from Google Benchmark (the median of rounds in which every
// frame and floor take turns); instructions from valgrind's callgrind, which
// this program runs on itself with --count-instructions (instruction counts
// repeat on a noisy machine where times do not). Every frame is watched for
// heap allocations through the C library's allocating functions (below): one
// fails the run.
//
// Usage: frame_bench [--quick] [Google Benchmark's options]
//   --quick  one round of a fixed 10 000 frames a case: checks that it runs,
//            allocates nothing and keeps to the instruction target; times
//            are not judged
// Exit status 1 when a frame allocated, when a figure of the common frame
// was not measured (a --benchmark_filter that leaves it out, say), when its
// own instructions are over target, or (without --quick) when its
// frame/floor time ratio is over target; 0 otherwise.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <valgrind/callgrind.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench/linux/lean_host.h"
#include "tests/common/player_facts.h"
#include "tests/common/plugin_state.h"

// --- Allocation counting. The C library's allocating functions are stood
// in for here: malloc, calloc, realloc, aligned_alloc, posix_memalign,
// memalign, valloc and pvalloc, each counted and handed to glibc's own
// allocator. operator new in all its forms comes through malloc or
// aligned_alloc. Not counted: allocations inside glibc that do not go
// through these names (strdup, reallocarray, stdio's buffers), which the
// frames cannot reach.

namespace {
std::atomic<long> allocations{0};
void* counted(void* block) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  return block;
}
}  // namespace

// glibc's own allocator, under the names it exports for exactly this use.
// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" void* __libc_malloc(std::size_t);
extern "C" void* __libc_calloc(std::size_t, std::size_t);
extern "C" void* __libc_realloc(void*, std::size_t);
extern "C" void* __libc_memalign(std::size_t, std::size_t);
extern "C" void* __libc_valloc(std::size_t);
extern "C" void* __libc_pvalloc(std::size_t);
// NOLINTEND(bugprone-reserved-identifier)

extern "C" void* malloc(std::size_t size) { return counted(__libc_malloc(size)); }
extern "C" void* calloc(std::size_t count, std::size_t size) {
  return counted(__libc_calloc(count, size));
}
extern "C" void* realloc(void* block, std::size_t size) {
  return counted(__libc_realloc(block, size));
}
extern "C" void* aligned_alloc(std::size_t alignment, std::size_t size) {
  return counted(__libc_memalign(alignment, size));
}
extern "C" void* memalign(std::size_t alignment, std::size_t size) {
  return counted(__libc_memalign(alignment, size));
}
extern "C" int posix_memalign(void** block, std::size_t alignment, std::size_t size) {
  if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) {
    return EINVAL;
  }
  *block = counted(__libc_memalign(alignment, size));
  return *block == nullptr && size != 0 ? ENOMEM : 0;
}
extern "C" void* valloc(std::size_t size) { return counted(__libc_valloc(size)); }
extern "C" void* pvalloc(std::size_t size) { return counted(__libc_pvalloc(size)); }

namespace {

constexpr std::uint32_t Now = BenchStartTick;
constexpr NeonColour Lime = BenchLime;
constexpr NeonColour Amber = BenchAmber;
constexpr int CountedFrames = 1000;
constexpr int QuickFrames = 10'000;
constexpr double RoundSeconds = 0.05;  // each benchmark's least time in a round

// The frame the summary is about, the one a player's ride is mostly made of,
// and its targets: BenchTargetRatio, and this many instructions of its own.
constexpr const char* CommonSituation = "staying in, lit";
constexpr long TargetOwnInstructions = 40;

NeonColour scratch;  // where the floor's getter writes

// A situation: how to set the world up once, what to restore before each
// frame so that every frame is the same kind, and the native calls a frame of
// that kind makes, as the floor makes them.
struct Situation {
  const char* name;
  void (*setup)();
  void (*prepare)();
  void (*floor)();
};

// The player in BenchCarA, the hotkey the default one (the lean host has no
// settings file) and not held.
void inCarA(bool lit) {
  resetPluginState();
  loadHotkeySettings();
  leanHostSetWorld(BenchCarA, Lime, Amber, Now);
  neonState = {BenchCarA, BenchCarA, Lime, lit};
}

const Situation situations[] = {
    {"on foot",
     [] {
       inCarA(true);
       leanHost.world.occupied = 0;
       neonState.currentVehicle = neonState.previousVehicle = 0;
     },
     [] {},
     [] {
       playerCharacter();
       occupiedVehicle(BenchPlayer);
     }},
    {"getting in", [] { inCarA(true); }, [] { neonState.previousVehicle = 0; },
     [] {
       playerCharacter();
       occupiedVehicle(BenchPlayer);
       readNeonColour(BenchCarA, scratch);
     }},
    {"staying in, lit", [] { inCarA(true); }, [] {},
     [] {
       playerCharacter();
       occupiedVehicle(BenchPlayer);
       readNeonColour(BenchCarA, scratch);
     }},
    {"staying in, dark", [] { inCarA(false); }, [] {},
     [] {
       playerCharacter();
       occupiedVehicle(BenchPlayer);
     }},
    {"switch (lit to dark)",
     [] {
       inCarA(true);
       handleKeyEvent(DefaultKey, 1, 0, 0, 0, 0, 0);  // held from Now on
     },
     [] {
       neonState.lightsOn = true;
       lastSwitchTick = Now - (SwitchSpacingMs + 1);
     },
     [] {
       playerCharacter();
       occupiedVehicle(BenchPlayer);
       readNeonColour(BenchCarA, scratch);
       setNeonColour(BenchCarA, 0, 0, 0);
     }},
    {"getting out",
     [] {
       inCarA(false);
       leanHost.world.occupied = 0;
     },
     [] { neonState.previousVehicle = BenchCarA; },
     [] {
       playerCharacter();
       occupiedVehicle(BenchPlayer);
       setNeonColour(BenchCarA, Lime.red, Lime.green, Lime.blue);
     }},
    {"vehicle to vehicle",
     [] {
       inCarA(false);
       leanHost.world.occupied = BenchCarB;
     },
     [] { neonState.previousVehicle = BenchCarA; },
     [] {
       playerCharacter();
       occupiedVehicle(BenchPlayer);
       setNeonColour(BenchCarA, Lime.red, Lime.green, Lime.blue);
       readNeonColour(BenchCarB, scratch);
     }},
};

enum Kind { Frame, Floor };
const char* const kindNames[] = {"frame", "floor"};

bool allocated = false;  // a frame allocated: the run fails

void runOne(const Situation& situation, Kind kind) {
  situation.prepare();
  if (kind == Frame) {
    runFrame();
  } else {
    situation.floor();
  }
}

void timeFrames(benchmark::State& state, const Situation* situation, Kind kind) {
  situation->setup();
  const long before = allocations.load(std::memory_order_relaxed);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark idiom
    runOne(*situation, kind);
    benchmark::ClobberMemory();
  }
  if (allocations.load(std::memory_order_relaxed) != before) {
    allocated = true;
    state.SkipWithError("a frame allocated");
  }
}

// Keeps every run's time per frame, in nanoseconds, by benchmark name, and
// prints none of them: the table at the end says what they came to.
class Collector : public benchmark::BenchmarkReporter {
 public:
  // The library's own header warns that it "was built as DEBUG": Debian's
  // build keeps its assertions. Said here in one line instead.
  bool ReportContext(const Context& context) override {
    std::fprintf(stderr,
                 "%d CPUs at %.0f MHz. Google Benchmark is Debian's build, assertions on: they "
                 "run outside the timed frames.\n",
                 context.cpu_info.num_cpus, context.cpu_info.cycles_per_second / 1e6);
    return true;
  }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      times[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
    }
  }
  std::map<std::string, std::vector<double>> times;
};

std::string benchmarkName(const Situation& situation, Kind kind) {
  return std::string(kindNames[kind]) + "/" + situation.name;
}

// Under callgrind: each situation and kind, counted alone, in its own dump.
int countInstructions() {
  for (const Situation& situation : situations) {
    for (Kind kind : {Frame, Floor}) {
      situation.setup();
      for (int i = 0; i < 10; ++i) {  // warm: lazy binding and caches out of the count
        runOne(situation, kind);
      }
      situation.setup();
      // Named before the count: the client request keeps only the pointer.
      const std::string name = benchmarkName(situation, kind);
      CALLGRIND_ZERO_STATS;
      for (int i = 0; i < CountedFrames; ++i) {
        runOne(situation, kind);
      }
      CALLGRIND_DUMP_STATS_AT(name.c_str());
    }
  }
  return 0;
}

// Runs this program under callgrind and reads the instructions per frame of
// each dump. Empty when valgrind is missing or fails.
std::map<std::string, double> instructionsPerFrame() {
  std::map<std::string, double> result;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("quillmere-callgrind-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  // valgrind is started with its arguments as they are, no shell between:
  // a path is never read as a shell's words.
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::string valgrind = "valgrind";
  std::string tool = "--tool=callgrind";
  std::string out = "--callgrind-out-file=" + (folder / "out").string();
  std::string count = "--count-instructions";
  char* arguments[] = {valgrind.data(), tool.data(),  out.data(),
                       self.data(),     count.data(), nullptr};
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&quiet, 1, 2);
  pid_t child = 0;
  int status = -1;
  if (posix_spawnp(&child, "valgrind", &quiet, nullptr, arguments, environ) == 0) {
    waitpid(child, &status, 0);
  }
  posix_spawn_file_actions_destroy(&quiet);
  if (status == 0) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      std::ifstream in(entry.path());
      std::string name;
      double total = -1;
      for (std::string text; std::getline(in, text);) {
        if (text.rfind("desc: Trigger: Client Request: ", 0) == 0) {
          name = text.substr(std::strlen("desc: Trigger: Client Request: "));
        } else if (text.rfind("totals: ", 0) == 0 || text.rfind("summary: ", 0) == 0) {
          total = std::atof(text.substr(text.find(' ') + 1).c_str());
        }
      }
      if (!name.empty() && total >= 0) {
        result[name] = total / CountedFrames;
      }
    }
  }
  std::filesystem::remove_all(folder);
  return result;
}

struct Options {
  bool countInstructions = false;    // this run is the one under callgrind
  bool quick = false;                // a fixed few frames each, times not judged
  std::vector<char*> benchmarkArgs;  // the rest, for Google Benchmark
};

Options readOptions(int argc, char** argv) {
  Options options;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--count-instructions") == 0) {
      options.countInstructions = true;
    } else if (std::strcmp(argv[i], "--quick") == 0) {
      options.quick = true;
    } else {
      options.benchmarkArgs.push_back(argv[i]);
    }
  }
  return options;
}

// Every situation and kind, timed by Google Benchmark in rounds, frame and
// floor taken in turn within each, so that a machine busier at one moment
// than another weighs on both alike; the median of the rounds, by name.
std::map<std::string, double> timeEverySituation(Options& options) {
  int count = static_cast<int>(options.benchmarkArgs.size());
  benchmark::Initialize(&count, options.benchmarkArgs.data());
  const int rounds = options.quick ? 1 : BenchRounds;
  for (int round = 0; round < rounds; ++round) {
    for (const Situation& situation : situations) {
      for (Kind kind : {Frame, Floor}) {
        auto* registered = benchmark::RegisterBenchmark(benchmarkName(situation, kind).c_str(),
                                                        timeFrames, &situation, kind);
        if (options.quick) {
          registered->Iterations(QuickFrames);
        } else {
          registered->MinTime(RoundSeconds);
        }
      }
    }
  }
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();
  std::map<std::string, double> medians;
  for (const auto& [name, times] : collector.times) {
    medians[name] = benchMedian(times);
  }
  return medians;
}

// What was measured: median nanoseconds and instructions per frame, by
// benchmark name. A figure that was not measured (a --benchmark_filter left
// it out, or callgrind did not run) is missing, never a number.
struct Figures {
  std::map<std::string, double> nanoseconds;
  std::map<std::string, double> instructions;

  static std::optional<double> of(const std::map<std::string, double>& figures,
                                  const Situation& situation, Kind kind) {
    const auto found = figures.find(benchmarkName(situation, kind));
    return found == figures.end() ? std::nullopt : std::optional<double>(found->second);
  }
  std::optional<double> ratio(const Situation& situation) const {
    const auto frame = of(nanoseconds, situation, Frame);
    const auto floor = of(nanoseconds, situation, Floor);
    return frame && floor ? std::optional<double>(*frame / *floor) : std::nullopt;
  }
  std::optional<double> own(const Situation& situation) const {
    const auto frame = of(instructions, situation, Frame);
    const auto floor = of(instructions, situation, Floor);
    return frame && floor ? std::optional<double>(*frame - *floor) : std::nullopt;
  }
};

// A figure in a column `width` wide with `decimals`, or "-" where it is missing.
std::string cell(std::optional<double> figure, int width, int decimals) {
  char text[32];
  if (figure) {
    std::snprintf(text, sizeof text, "%*.*f", width, decimals, *figure);
  } else {
    std::snprintf(text, sizeof text, "%*s", width, "-");
  }
  return text;
}

void printTable(const Figures& figures, const Options& options) {
  std::printf("Times: the median of %d rounds%s; instructions: callgrind, %d frames each.\n",
              options.quick ? 1 : BenchRounds,
              options.quick ? " (--quick: one round of a fixed count, times not judged)"
                            : ", frame and floor in turn",
              CountedFrames);
  std::printf("\n%-22s %10s %10s %7s %12s %12s %6s\n", "situation", "frame ns", "floor ns", "ratio",
              "frame instr", "floor instr", "own");
  for (const Situation& situation : situations) {
    std::printf("%-22s %s %s %s %s %s %s\n", situation.name,
                cell(Figures::of(figures.nanoseconds, situation, Frame), 10, 2).c_str(),
                cell(Figures::of(figures.nanoseconds, situation, Floor), 10, 2).c_str(),
                cell(figures.ratio(situation), 7, 2).c_str(),
                cell(Figures::of(figures.instructions, situation, Frame), 12, 0).c_str(),
                cell(Figures::of(figures.instructions, situation, Floor), 12, 0).c_str(),
                cell(figures.own(situation), 6, 0).c_str());
  }
}

const Situation* situationNamed(const char* name) {
  for (const Situation& situation : situations) {
    if (std::strcmp(situation.name, name) == 0) {
      return &situation;
    }
  }
  return nullptr;
}

// The common frame's summary against its targets; 0 when every judged one
// is met. A judged figure that is missing fails, naming it.
int judge(const Figures& figures, const Options& options) {
  const Situation* common = situationNamed(CommonSituation);
  if (common == nullptr) {
    std::printf("FAILED: no situation is named \"%s\"\n", CommonSituation);
    return 1;
  }
  std::printf(
      "\nThe common frame, %s (targets: ratio at most %.2f%s, own instructions at most %ld):\n",
      common->name, BenchTargetRatio, options.quick ? ", not judged with --quick" : "",
      TargetOwnInstructions);
  int status = 0;
  const std::optional<double> ratio = figures.ratio(*common);
  if (ratio) {
    std::printf("frame/floor ratio: %.2f\n", *ratio);
  } else {
    std::printf("FAILED: no time for %s or %s (left out by a --benchmark_filter?)\n",
                benchmarkName(*common, Frame).c_str(), benchmarkName(*common, Floor).c_str());
    status = 1;
  }
  const std::optional<double> own = figures.own(*common);
  if (own) {
    std::printf("own instructions per frame: %.0f\n", *own);
  }
  if (allocated) {
    std::printf("FAILED: a frame allocated\n");
    status = 1;
  }
  if (!own) {
    std::printf("FAILED: no instruction count for %s or %s\n",
                benchmarkName(*common, Frame).c_str(), benchmarkName(*common, Floor).c_str());
    status = 1;
  } else if (*own > TargetOwnInstructions) {
    std::printf("FAILED: own instructions per frame %.0f, over %ld\n", *own, TargetOwnInstructions);
    status = 1;
  }
  if (!options.quick && ratio && *ratio > BenchTargetRatio) {
    std::printf("FAILED: frame/floor ratio over %.2f\n", BenchTargetRatio);
    status = 1;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options options = readOptions(argc, argv);
  if (options.countInstructions) {
    return countInstructions();
  }
  Figures figures;
  figures.nanoseconds = timeEverySituation(options);
  figures.instructions = instructionsPerFrame();
  if (figures.instructions.empty()) {
    std::printf("valgrind's callgrind did not run: no instruction counts\n");
  }
  printTable(figures, options);
  return judge(figures, options);
}
