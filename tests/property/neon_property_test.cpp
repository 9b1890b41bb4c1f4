// Random rides against a reference model, checking after every frame that:
// - a vehicle the player leaves has its saved colour back;
// - while lit, the vehicle shows the saved colour as of that frame;
// - a switch happens exactly when the player stays in the same vehicle, the
//   hotkey is held and more than 300 ms have passed since the previous one
//   (so never on foot, never on a getting-in frame);
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
#include <fstream>
#include <limits>
#include <optional>
#include <random>
#include <sstream>
#include <string>

#include "standins/linux/standins.h"
#include "tests/common/neon_colour.h"
#include "tests/common/plugin_state.h"
#include "tests/common/working_folder.h"

namespace {

constexpr GameHandle Player = 0x77;
constexpr int Vehicles = 4;
constexpr GameHandle FirstVehicle = 0x500;
constexpr std::uint32_t MainKey = 78;
constexpr std::uint32_t ModifierKey = 17;
constexpr std::uint32_t KeyCodes = 300;  // events beyond the table's 255 too
// What the model holds the plugin to, written out: keys 0 to 254 have a
// record, a key with no release is held 5000 ms, switches are over 300 ms apart.
constexpr std::uint32_t KeysWithARecord = 255;
constexpr std::uint32_t HoldWindowMs = 5000;
constexpr std::uint32_t SwitchSpacingMs = 300;

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
    return key < KeysWithARecord && !released[key] && now - eventTick[key] < HoldWindowMs;
  }
};

int index(GameHandle vehicle) { return vehicle - FirstVehicle; }

class NeonProperty : public ::testing::Test {
 protected:
  // Plays one random ride, stopping with a fatal failure at the first frame
  // that breaks a property.
  void ride(std::uint32_t seed, int steps);

 private:
  WorkingFolder folder_;  // where each ride writes its settings file
};

NeonColour randomColour(std::mt19937& random) {
  return {static_cast<std::int32_t>(random() % 256), static_cast<std::int32_t>(random() % 256),
          static_cast<std::int32_t>(random() % 256)};
}

void NeonProperty::ride(std::uint32_t seed, int steps) {
  std::mt19937 random(seed);
  Model model;
  for (std::uint32_t key = 0; key < KeyCodes; ++key) {
    model.released[key] = true;
    model.eventTick[key] = 0;
  }
  model.withModifier = (seed % 2) == 1;
  std::ofstream("Quillmere.ini") << "[keys]\nquillmere_modifier="
                                 << (model.withModifier ? std::to_string(ModifierKey) : "-1")
                                 << "\nquillmere=" << MainKey << "\n";

  // Start anywhere, often near the wrap.
  std::uint32_t now = random() % 3 == 0 ? 0u - (random() % 20'000) : random();
  resetStandins(now);
  resetPluginState();
  recordingHost.world.player = Player;
  for (int v = 0; v < Vehicles; ++v) {
    model.neon[v] = randomColour(random);
    worldAddVehicle(recordingHost.world, FirstVehicle + v, model.neon[v]);
  }
  loadHotkeySettings();

  std::ostringstream history;  // the steps so far, for a failure report
  for (int step = 0; step < steps; ++step) {
    const std::uint32_t roll = random() % 100;
    GameHandle& occupied = recordingHost.world.occupied;
    bool restart = false;
    if (roll < 6) {
      occupied = 0;
      history << "out ";
    } else if (roll < 14) {
      occupied = FirstVehicle + static_cast<GameHandle>(random() % Vehicles);
      history << "in" << index(occupied) << ' ';
    } else if (roll < 17) {
      const int v = static_cast<int>(random() % Vehicles);
      model.neon[v] = randomColour(random);
      worldFindVehicle(recordingHost.world, FirstVehicle + v)->neon = model.neon[v];
      history << "paint" << v << ' ';
    } else if (roll < 45) {
      const std::uint32_t pick = random() % 8;
      const std::uint32_t key = pick < 4 ? MainKey : pick < 7 ? ModifierKey : random() % KeyCodes;
      const bool up = random() % 3 == 0;
      standinClock.now.store(now);
      handleKeyEvent(key, 1, 0, 0, 0, 0, up ? 1 : 0);
      model.released[key] = up;
      model.eventTick[key] = now;
      history << (up ? "up" : "down") << key << ' ';
    } else if (roll < 80) {
      now += random() % 400;
      history << "t+ ";
    } else if (roll < 83) {
      // A jump: far on, or to just below the wrap.
      now = random() % 2 == 0 ? now + 5'000 + random() % 0x7FFFFFFFu : 0u - (random() % 3'000);
      history << "jump ";
    } else if (roll < 85) {
      restart = true;
      history << "restart ";
    }

    // A frame, as the model sees it.
    const GameHandle previous = model.occupied;
    const GameHandle current = occupied;
    int expectedCalls = 2;
    bool expectSwitch = false;
    if (current == 0) {
      if (previous != 0) {
        model.neon[index(previous)] = model.saved;
        expectedCalls = 3;
      }
    } else if (previous == 0 || previous != current) {
      if (previous != 0) {
        model.neon[index(previous)] = model.saved;
        ++expectedCalls;
      }
      model.lit = true;
      model.saved = model.neon[index(current)];
      ++expectedCalls;
    } else {
      if (model.lit) {
        model.saved = model.neon[index(current)];
        ++expectedCalls;
      }
      expectSwitch = model.held(MainKey, now) &&
                     (!model.withModifier || model.held(ModifierKey, now)) &&
                     now - model.lastSwitch > SwitchSpacingMs;
      if (expectSwitch) {
        model.lastSwitch = now;
        model.lit = !model.lit;
        model.neon[index(current)] = model.lit ? model.saved : Dark;
        ++expectedCalls;
      }
    }
    model.occupied = current;

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

    const std::string where = "seed " + std::to_string(seed) + ", step " + std::to_string(step) +
                              ", tick " + std::to_string(now) + "; steps: " + history.str();
    ASSERT_GE(recordingHost.natives.count, 2) << where;
    ASSERT_LE(recordingHost.natives.count, 4) << where;
    ASSERT_EQ(recordingHost.natives.count, expectedCalls) << where;
    if (previous != 0 && current != previous) {
      ASSERT_EQ(worldFindVehicle(recordingHost.world, previous)->neon, model.neon[index(previous)])
          << "the vehicle left has its saved colour back; " << where;
    }
    if (current != 0 && model.lit) {
      ASSERT_EQ(worldFindVehicle(recordingHost.world, current)->neon, neonState.savedColour)
          << "lit: the vehicle shows the saved colour; " << where;
    }
    const int setters = recordingHost.natives.log[recordingHost.natives.count - 1].hash ==
                                    GameNatives::NeonColourSetter &&
                                previous == current && current != 0
                            ? 1
                            : 0;
    ASSERT_EQ(setters == 1, expectSwitch) << "switch iff held, staying in, spaced; " << where;
    ASSERT_EQ(neonState.lightsOn, model.lit) << where;
    ASSERT_EQ(neonState.savedColour, model.saved) << where;
    for (int v = 0; v < Vehicles; ++v) {
      ASSERT_EQ(worldFindVehicle(recordingHost.world, FirstVehicle + v)->neon, model.neon[v])
          << "vehicle " << v << "; " << where;
    }
    if (history.tellp() > 400) {
      history.str("");
    }
  }
}

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
