// Random rides against a reference model, checking after every frame that:
// - a vehicle the player leaves has its saved colour back;
// - while lit, the vehicle shows the saved colour as of that frame;
// - a switch happens exactly when the player stays in the same vehicle, the
//   hotkey is held and more than SwitchSpacingMs have passed since the
//   previous one (so never on foot, never on a getting-in frame);
// - a frame makes two to four native calls.
// Steps: on foot, get in, get out, move straight into another vehicle, key
// events, repaints by something else, clock steps including jumps across the
// 32-bit wrap, and script restarts. Seeds are fixed; QUILLMERE_PROPERTY_SEEDS
// and QUILLMERE_PROPERTY_STEPS make a longer run.
#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <limits>
#include <optional>
#include <random>
#include <string>

#include "standins/linux/standins.h"
#include "tests/common/neon_colour.h"
#include "tests/common/player_facts.h"
#include "tests/common/plugin_state.h"
#include "tests/common/settings_file.h"

namespace {

constexpr GameHandle Player = 0x77;
constexpr int Vehicles = 4;
constexpr GameHandle FirstVehicle = 0x500;
constexpr std::uint32_t MainKey = KeyN;
constexpr std::uint32_t ModifierKey = KeyCtrl;
constexpr std::uint32_t KeyCodes = 300;  // events beyond the table's 255 too

// A count from the environment, or `fallback` when it is not set. A value
// that is not a whole number from 1 up is no count at all: nothing, so that
// the run fails rather than run some other count than the one asked for.
std::optional<int> fromEnvironment(const char* name, int fallback) {
  // Read before any thread starts: getenv's lack of thread safety cannot bite.
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
  if (value == nullptr) {
    return fallback;
  }
  char* end = nullptr;
  errno = 0;
  const long count = std::strtol(value, &end, 10);
  if (!std::isdigit(static_cast<unsigned char>(*value)) || *end != '\0' || errno != 0 ||
      count < 1 || count > std::numeric_limits<int>::max()) {
    return std::nullopt;
  }
  return static_cast<int>(count);
}

// What the plugin should do, worked out from what the test did: a second,
// independent account of the behaviour.
struct Model {
  NeonColour neon[Vehicles]{};          // every vehicle's colour
  GameHandle occupied = 0;              // where the player sat at the last frame
  NeonColour saved = {0, 0, 0};         // the colour to put back
  bool lit = true;                      // lights held on
  std::uint32_t lastSwitch = 0;         // tick of the latest switch
  bool released[KeyCodes]{};            // each key's latest event was a release
  std::uint32_t eventTick[KeyCodes]{};  // and when it came
  bool withModifier = false;            // the hotkey needs ModifierKey too

  bool held(std::uint32_t key, std::uint32_t now) const {
    return key <= HighestKeyCode && !released[key] && now - eventTick[key] < HoldWindowMs;
  }
};

int index(GameHandle vehicle) { return vehicle - FirstVehicle; }

std::string colourText(const NeonColour& colour) {
  return std::to_string(colour.red) + "," + std::to_string(colour.green) + "," +
         std::to_string(colour.blue);
}

NeonColour randomColour(std::mt19937& random) {
  return {static_cast<std::int32_t>(random() % 256), static_cast<std::int32_t>(random() % 256),
          static_cast<std::int32_t>(random() % 256)};
}

constexpr std::size_t HistorySteps = 16;  // steps a failure report shows

// One random ride as it goes: the model, the clock, and what was done so far.
struct Ride {
  std::uint32_t seed;               // the ride's seed, for a failure report
  std::mt19937 random;              // every choice the ride makes
  Model model;                      // what the plugin should have done
  std::uint32_t now = 0;            // the clock
  std::deque<std::string> history;  // the latest HistorySteps steps, each with its tick
};

// Keeps `step`, taken at the ride's tick, among the latest.
void note(Ride& ride, const std::string& step) {
  ride.history.push_back("tick " + std::to_string(ride.now) + ": " + step);
  if (ride.history.size() > HistorySteps) {
    ride.history.pop_front();
  }
}

// The ride's start: the settings file (a modifier on odd seeds), the clock
// anywhere and often near the wrap, four vehicles of random colours, the
// settings read.
void startRide(Ride& ride) {
  Model& model = ride.model;
  for (std::uint32_t key = 0; key < KeyCodes; ++key) {
    model.released[key] = true;
    model.eventTick[key] = 0;
  }
  model.withModifier = (ride.seed % 2) == 1;
  ride.now = ride.random() % 3 == 0 ? 0u - (ride.random() % 20'000) : ride.random();
  resetStandins(ride.now);
  resetPluginState();
  writeSettingsFile(
      {{IniModifierKey, model.withModifier ? ModifierKey : Minus1}, {IniMainKey, MainKey}});
  recordingHost.world.player = Player;
  for (int v = 0; v < Vehicles; ++v) {
    model.neon[v] = randomColour(ride.random);
    worldAddVehicle(recordingHost.world, FirstVehicle + v, model.neon[v]);
  }
  loadHotkeySettings();
}

// One random step before a frame: out, in (from foot or straight from
// another vehicle), a repaint by something else, a key event, time passing,
// a jump of the clock, or a script restart. True for a restart.
bool takeStep(Ride& ride) {
  std::mt19937& random = ride.random;
  const std::uint32_t roll = random() % 100;
  GameHandle& occupied = recordingHost.world.occupied;
  if (roll < 6) {
    occupied = 0;
    note(ride, "on foot");
  } else if (roll < 14) {
    occupied = FirstVehicle + static_cast<GameHandle>(random() % Vehicles);
    note(ride, "in vehicle " + std::to_string(index(occupied)));
  } else if (roll < 17) {
    const int v = static_cast<int>(random() % Vehicles);
    ride.model.neon[v] = randomColour(random);
    worldFindVehicle(recordingHost.world, FirstVehicle + v)->neon = ride.model.neon[v];
    note(ride, "vehicle " + std::to_string(v) + " repainted " + colourText(ride.model.neon[v]));
  } else if (roll < 45) {
    const std::uint32_t pick = random() % 8;
    const std::uint32_t key = pick < 4 ? MainKey : pick < 7 ? ModifierKey : random() % KeyCodes;
    const bool up = random() % 3 == 0;
    standinClock.now.store(ride.now);
    handleKeyEvent(key, 1, 0, 0, 0, 0, up ? 1 : 0);
    ride.model.released[key] = up;
    ride.model.eventTick[key] = ride.now;
    note(ride, "key " + std::to_string(key) + (up ? " up" : " down"));
  } else if (roll < 80) {
    ride.now += random() % (SwitchSpacingMs * 4 / 3);  // often across the spacing's edge
    note(ride, "time passes");
  } else if (roll < 83) {
    // A jump: far on, or to just below the wrap.
    ride.now = random() % 2 == 0 ? ride.now + HoldWindowMs + random() % 0x7FFFFFFFu
                                 : 0u - (random() % 3'000);
    note(ride, "the clock jumps");
  } else if (roll < 85) {
    note(ride, "the host restarts the script");
    return true;
  } else {
    note(ride, "nothing new");
  }
  return false;
}

// What the model says the next frame does, the player now in `current`.
struct Expected {
  int nativeCalls;  // two to four
  bool switches;    // the hotkey switches the lights
};

Expected predictFrame(Model& model, GameHandle current, std::uint32_t now) {
  const GameHandle previous = model.occupied;
  Expected expected{2, false};
  if (current == 0) {
    if (previous != 0) {
      model.neon[index(previous)] = model.saved;
      expected.nativeCalls = 3;
    }
  } else if (previous == 0 || previous != current) {
    if (previous != 0) {
      model.neon[index(previous)] = model.saved;
      ++expected.nativeCalls;
    }
    model.lit = true;
    model.saved = model.neon[index(current)];
    ++expected.nativeCalls;
  } else {
    if (model.lit) {
      model.saved = model.neon[index(current)];
      ++expected.nativeCalls;
    }
    expected.switches = model.held(MainKey, now) &&
                        (!model.withModifier || model.held(ModifierKey, now)) &&
                        now - model.lastSwitch > SwitchSpacingMs;
    if (expected.switches) {
      model.lastSwitch = now;
      model.lit = !model.lit;
      model.neon[index(current)] = model.lit ? model.saved : Dark;
      ++expected.nativeCalls;
    }
  }
  model.occupied = current;
  return expected;
}

// The plugin's frame at `now`: a pass of runFrame, or on a restart the
// script started afresh and stopped at its first wait.
void runPluginFrame(std::uint32_t now, bool restart) {
  standinClock.now.store(now);
  recordingHost.natives.count = 0;
  if (restart) {
    recordingHost.scriptWaitCalls = 0;
    recordingHost.scriptWaitLimit = 1;
    try {
      scriptEntry();
    } catch (const StandinScriptStopped&) {
    }
  } else {
    runFrame();
  }
}

// Where the ride stands, for a failure report: the seed, the step and the
// tick; the model after the frame (where the player sits, lit or dark, the
// saved colour, the last switch's tick, the keys held and since when); then
// the latest steps, each with its tick.
std::string whereTheRideStands(const Ride& ride, int step) {
  const Model& model = ride.model;
  std::string out = "\nseed " + std::to_string(ride.seed) + ", step " + std::to_string(step) +
                    ", tick " + std::to_string(ride.now) + "\nthe model: " +
                    (model.occupied == 0 ? std::string("on foot")
                                         : "in vehicle " + std::to_string(index(model.occupied))) +
                    (model.lit ? ", lit" : ", dark") + ", saved colour " + colourText(model.saved) +
                    ", last switch at tick " + std::to_string(model.lastSwitch) + ", keys held:";
  for (std::uint32_t key = 0; key < KeyCodes; ++key) {
    if (model.held(key, ride.now)) {
      out +=
          " " + std::to_string(key) + " (since tick " + std::to_string(model.eventTick[key]) + ")";
    }
  }
  out += "\nthe latest steps, each followed by a frame:";
  for (const std::string& taken : ride.history) {
    out += "\n  " + taken;
  }
  return out;
}

// Every property after the frame that took the player from `previous` to
// `current`; a fatal failure at the first one broken, its message the rule,
// then where the ride stands.
void checkFrame(const Ride& ride, GameHandle previous, GameHandle current, const Expected& expected,
                int step) {
  const Model& model = ride.model;
  const std::string where = whereTheRideStands(ride, step);
  const int calls = recordingHost.natives.count;
  const bool switched =
      calls > 0 && recordingHost.natives.log[calls - 1].hash == GameNatives::NeonColourSetter &&
      previous == current && current != 0;
  ASSERT_EQ(switched, expected.switches)
      << "a switch comes exactly when the hotkey is held, the player stays in the same vehicle "
         "and more than SwitchSpacingMs ("
      << SwitchSpacingMs << " ms) have passed since the previous one, a key counting as held "
      << "for less than HoldWindowMs (" << HoldWindowMs << " ms) after its latest event" << where;
  ASSERT_EQ(calls, expected.nativeCalls)
      << "a frame makes two native calls, one more to read or put back a colour, and one more "
         "for a switch or for the vehicle left on a move"
      << where;
  if (previous != 0 && current != previous) {
    ASSERT_EQ(worldFindVehicle(recordingHost.world, previous)->neon, model.neon[index(previous)])
        << "the vehicle left has its saved colour back" << where;
  }
  if (current != 0 && model.lit) {
    ASSERT_EQ(worldFindVehicle(recordingHost.world, current)->neon, model.saved)
        << "lit: the vehicle shows the colour saved from it" << where;
  }
  for (int v = 0; v < Vehicles; ++v) {
    ASSERT_EQ(worldFindVehicle(recordingHost.world, FirstVehicle + v)->neon, model.neon[v])
        << "vehicle " << v << " has the colour the model gives it" << where;
  }
}

class NeonProperty : public ::testing::Test {
 protected:
  // Plays one random ride, stopping with a fatal failure at the first frame
  // that breaks a property.
  static void ride(std::uint32_t seed, int steps) {
    Ride ride{seed, std::mt19937(seed), {}, 0, {}};
    startRide(ride);
    for (int step = 0; step < steps; ++step) {
      const bool restart = takeStep(ride);
      const GameHandle previous = ride.model.occupied;
      const GameHandle current = recordingHost.world.occupied;
      const Expected expected = predictFrame(ride.model, current, ride.now);
      runPluginFrame(ride.now, restart);
      checkFrame(ride, previous, current, expected, step);
      if (::testing::Test::HasFatalFailure()) {
        return;
      }
    }
  }
};

TEST_F(NeonProperty, RandomRidesKeepEveryProperty) {
  const std::optional<int> seeds = fromEnvironment("QUILLMERE_PROPERTY_SEEDS", 200);
  const std::optional<int> steps = fromEnvironment("QUILLMERE_PROPERTY_STEPS", 2000);
  ASSERT_TRUE(seeds && steps)
      << "QUILLMERE_PROPERTY_SEEDS and QUILLMERE_PROPERTY_STEPS are whole numbers from 1 up";
  for (int seed = 1; seed <= *seeds; ++seed) {
    ride(static_cast<std::uint32_t>(seed), *steps);
    if (HasFatalFailure()) {
      return;
    }
  }
}

}  // namespace
