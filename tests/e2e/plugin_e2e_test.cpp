// The shipped plugin, end to end: loaded by the Windows loader next to the
// stand-in host, reading real settings files with the real
// GetPrivateProfileIntA, driven frame by frame as the host drives it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "standins/scripthookv_dll/scripthookv_dll.h"
#include "tests/common/neon_colour.h"
#include "tests/common/player_facts.h"
#include "tests/common/working_folder.h"
#include "tools/wine/windows_path.h"

namespace {

constexpr GameHandle Player = 0x1001;
constexpr GameHandle CarA = 0x2001;
constexpr GameHandle CarB = 0x2002;
constexpr NeonColour Magenta = {255, 0, 255};
constexpr NeonColour Cyan = {0, 255, 255};
constexpr std::uint8_t ScanCode = 0x31;

constexpr std::uint32_t OrdinaryStart = 1'000'000;
constexpr std::uint32_t BeforeWrapStart = 0xFFFFFFFFu - 2000;

// Far enough apart for a second switch; a key pressed once stays held over
// several such steps.
constexpr std::uint32_t Apart = SwitchSpacingMs + 1;
constexpr std::uint32_t FrameMs = 16;  // about 60 frames a second
// On frames FrameMs apart, a held hotkey switches this often.
constexpr std::uint32_t BlinkMs = (SwitchSpacingMs / FrameMs + 1) * FrameMs;
static_assert(HoldWindowMs > 2 * Apart + 4 * BlinkMs,
              "the tests hold a key across several switches");

// A settings file's text as a player writes it in Notepad: `section`, then
// each key with its value.
std::string iniText(std::initializer_list<std::pair<const char*, std::int64_t>> lines,
                    const char* section = IniSection) {
  std::string text = std::string("[") + section + "]\r\n";
  for (const auto& [key, value] : lines) {
    text += std::string(key) + "=" + std::to_string(value) + "\r\n";
  }
  return text;
}

// The shipped Quillmere.asi and Quillmere.ini, where the build put them.
std::string pluginPath() { return windowsPath(QUILLMERE_DIST_DIR "/Quillmere.asi"); }
std::string shippedSettingsPath() { return windowsPath(QUILLMERE_DIST_DIR "/Quillmere.ini"); }

// Each case gets a fresh folder as the current directory, with its own
// settings file or none, and a fresh module: loaded in SetUp (or by the
// case), unloaded in TearDown.
class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { begin(OrdinaryStart); }

  // Starts the case afresh (again, if it had begun): a clean host, a clock
  // at `start`, no plugin, and a new empty folder as the current directory.
  void begin(std::uint32_t start) {
    end();
    start_ = start;
    standinReset(start);
    StandinDllState& host = *standinState();
    host.world.player = Player;
    worldAddVehicle(host.world, CarA, Magenta);
    worldAddVehicle(host.world, CarB, Cyan);
    folder_.emplace();
  }

  // The plugin goes before its folder.
  void end() {
    standinUnloadPlugin();
    folder_.reset();
  }

  void TearDown() override { end(); }

  static void settings(const std::string& text) {
    FILE* file = std::fopen(IniFileName, "wb");
    ASSERT_NE(file, nullptr);
    std::fputs(text.c_str(), file);
    std::fclose(file);
  }
  static void load(StandinClock clock = StandinTestClock) {
    ASSERT_EQ(standinLoadPlugin(pluginPath().c_str(), clock), 1) << pluginPath();
  }

  void at(std::uint32_t ms) const { standinSetClock(start_ + ms); }
  static void frames(int count = 1) { standinRunFrames(count); }
  // Keyboard events as a game window receives them; the fourth to seventh
  // arguments are: extended key, Alt held, down before, going up. These are
  // an extended key struck with Alt held and let go after Alt, so that no two
  // of the four columns agree over a press, a repeat and a release: a plugin
  // that took its key-up flag from another argument fails.
  static void send(std::uint32_t key, std::int32_t alt, std::int32_t before, std::int32_t up) {
    standinPostKey(key, 1, ScanCode, 1, alt, before, up);
    standinWaitForKeys();
  }
  static void press(std::uint32_t key) { send(key, 1, 0, 0); }
  static void repeat(std::uint32_t key) { send(key, 1, 1, 0); }
  static void release(std::uint32_t key) { send(key, 0, 1, 1); }
  static void sitIn(GameHandle vehicle) { standinState()->world.occupied = vehicle; }
  static NeonColour neonOf(GameHandle vehicle) {
    return worldFindVehicle(standinState()->world, vehicle)->neon;
  }
  static int nativeCalls() { return standinState()->natives.count; }
  static void clearNativeCalls() { standinState()->natives.count = 0; }

  // Runs one frame at `ms` and tells whether CarA's or CarB's lights changed
  // from dark to lit or back.
  bool frameSwitchesAt(std::uint32_t ms) {
    at(ms);
    const GameHandle vehicle = standinState()->world.occupied;
    const bool darkBefore = neonOf(vehicle) == Dark;
    frames();
    return (neonOf(vehicle) == Dark) != darkBefore;
  }

  // Loads the plugin with `ini` and sits the player in CarA: a frame of
  // getting in, at 0 on the test clock.
  void seated(const std::optional<std::string>& ini = std::nullopt) {
    if (ini) {
      settings(*ini);
    }
    load();
    sitIn(CarA);
    at(0);
    frames();  // got in
  }

  std::uint32_t start_ = 0;

 private:
  std::optional<WorkingFolder> folder_;  // the case's current directory; none between cases
};

TEST_F(EndToEnd, LoadRegistersScriptThenHandlerAndUnloadWithdrawsInTheSameOrder) {
  load();
  const StandinDllState& host = *standinState();
  ASSERT_EQ(host.registrations.count, 2);
  EXPECT_EQ(host.registrations.log[0].call, RegistrationCall::ScriptRegister);
  EXPECT_NE(host.registrations.log[0].script, nullptr);
  EXPECT_EQ(host.registrations.log[0].module,
            reinterpret_cast<void*>(GetModuleHandleW(fileName(pluginPath()).wstring().c_str())))
      << "registered with its own module handle";
  EXPECT_EQ(host.registrations.log[1].call, RegistrationCall::HandlerRegister);
  EXPECT_EQ(nativeCalls(), 0) << "loading calls no native";
  EXPECT_EQ(standinLoadPlugin(pluginPath().c_str(), StandinTestClock), 0)
      << "the host takes one plugin at a time";
  EXPECT_EQ(host.registrations.count, 2) << "a refused second load registers nothing";

  // A thread that starts and ends sends the DLL thread attach and detach.
  HANDLE thread = CreateThread(
      nullptr, 0, [](void*) -> DWORD { return 0; }, nullptr, 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_EQ(host.registrations.count, 2) << "thread attach and detach change nothing";

  const ScriptFunction script = host.registrations.log[0].script;
  const KeyboardHandler handler = host.registrations.log[1].handler;
  standinUnloadPlugin();
  ASSERT_EQ(host.registrations.count, 4);
  EXPECT_EQ(host.registrations.log[2].call, RegistrationCall::ScriptUnregister);
  EXPECT_EQ(host.registrations.log[2].script, script);
  EXPECT_EQ(host.registrations.log[3].call, RegistrationCall::HandlerUnregister);
  EXPECT_EQ(host.registrations.log[3].handler, handler);
}

// A plugin whose clock cannot be pointed at the test's is refused, and not
// left loaded and registered on the real clock.
TEST_F(EndToEnd, APluginWithoutAClockImportIsRefusedAndLeftUnloaded) {
  constexpr const char* NoClockPlugin = "no_clock_plugin.dll";  // beside this program
  EXPECT_EQ(standinLoadPlugin(NoClockPlugin, StandinTestClock), 0);
  EXPECT_EQ(GetModuleHandleA(NoClockPlugin), nullptr);
  frames();
  EXPECT_EQ(standinState()->scriptStarts, 0u) << "no script of it is left to run";
  EXPECT_EQ(standinState()->registrations.count, 2) << "registered on load, withdrawn on unload";
}

TEST_F(EndToEnd, DefaultHotkeyRideInDarkLitOutWithTheColourBack) {
  load();  // no settings file: N alone
  at(0);
  frames(3);
  EXPECT_EQ(nativeCalls(), 6) << "on foot: two natives a frame";
  EXPECT_EQ(standinState()->lastWaitMilliseconds, 0u);

  sitIn(CarA);
  frames();
  press(DefaultKey);
  EXPECT_TRUE(frameSwitchesAt(Apart));
  EXPECT_EQ(neonOf(CarA), Dark);
  release(DefaultKey);
  EXPECT_FALSE(frameSwitchesAt(2 * Apart));

  press(DefaultKey);
  EXPECT_TRUE(frameSwitchesAt(2 * Apart));
  EXPECT_EQ(neonOf(CarA), Magenta);
  release(DefaultKey);

  press(DefaultKey);
  EXPECT_TRUE(frameSwitchesAt(3 * Apart));  // dark again, then out
  release(DefaultKey);
  sitIn(0);
  frames();
  EXPECT_EQ(neonOf(CarA), Magenta) << "the vehicle left gets its colour back";
}

TEST_F(EndToEnd, AModifierHotkeyNeedsBothKeys) {
  seated(iniText({{IniModifierKey, KeyCtrl}, {IniMainKey, KeyL}}));
  press(KeyL);
  EXPECT_FALSE(frameSwitchesAt(Apart)) << "main key alone";
  release(KeyL);
  press(KeyCtrl);
  EXPECT_FALSE(frameSwitchesAt(2 * Apart)) << "modifier alone";
  press(KeyL);
  EXPECT_TRUE(frameSwitchesAt(3 * Apart)) << "both";
  press(DefaultKey);
  release(KeyL);
  EXPECT_FALSE(frameSwitchesAt(4 * Apart)) << "the default key means nothing now";
}

struct SettingsCase {
  const char* name = nullptr;
  std::optional<std::string> ini;  // none: no file
  std::uint32_t held = 0;          // the key held
  bool fires = false;
};

TEST_F(EndToEnd, SettingsVariants) {
  const SettingsCase cases[] = {
      {"no file", std::nullopt, DefaultKey, true},
      {"empty file", "", DefaultKey, true},
      {"modifier -1", iniText({{IniModifierKey, -1}, {IniMainKey, KeyL}}), KeyL, true},
      {"modifier 255", iniText({{IniModifierKey, HighestKeyCode + 1}}), DefaultKey, false},
      {"modifier -2", iniText({{IniModifierKey, -2}}), DefaultKey, false},
      {"main key 255", iniText({{IniMainKey, HighestKeyCode + 1}}), DefaultKey, false},
      {"main key 256", iniText({{IniMainKey, HighestKeyCode + 2}}), DefaultKey, false},
      {"main key 254", iniText({{IniMainKey, HighestKeyCode}}), HighestKeyCode, true},
      {"modifier equal to main", iniText({{IniModifierKey, KeyL}, {IniMainKey, KeyL}}), KeyL, true},
      {"other section only", iniText({{IniMainKey, KeyL}}, "other"), DefaultKey, true},
  };
  for (const SettingsCase& c : cases) {
    begin(OrdinaryStart);
    seated(c.ini);
    press(c.held);
    EXPECT_EQ(frameSwitchesAt(Apart), c.fires) << c.name;
  }
}

// Sets `key`'s value on its one line "key=from" in INI text to `to`, as a
// player edits it; false unless there is exactly one such line.
bool editSetting(std::string& text, const std::string& key, const std::string& from,
                 const std::string& to) {
  const std::string line = key + "=" + from;
  std::size_t found = std::string::npos;
  for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) {
    const std::size_t end = at + line.size();
    const bool wholeLine = (at == 0 || text[at - 1] == '\n') &&
                           (end == text.size() || text[end] == '\r' || text[end] == '\n');
    if (wholeLine) {
      if (found != std::string::npos) {
        return false;
      }
      found = at;
    }
  }
  if (found == std::string::npos) {
    return false;
  }
  text.replace(found + key.size() + 1, from.size(), to);
  return true;
}

// The shipped Quillmere.ini with only its two numbers changed, to Ctrl (17)
// and L (76), as a player would: read by KERNEL32, it makes Ctrl+L the hotkey
// and N nothing. A misspelt section or key in the shipped file would leave N.
TEST_F(EndToEnd, TheShippedSettingsFileWithOnlyItsTwoNumbersChanged) {
  std::ifstream shipped(fileName(shippedSettingsPath()), std::ios::binary);
  ASSERT_TRUE(shipped) << shippedSettingsPath();
  std::string text{std::istreambuf_iterator<char>(shipped), std::istreambuf_iterator<char>()};
  const auto number = [](std::uint32_t value) {
    return std::to_string(static_cast<std::int32_t>(value));
  };
  ASSERT_TRUE(editSetting(text, IniModifierKey, number(Minus1), number(KeyCtrl)))
      << "no one line " << IniModifierKey << "=" << number(Minus1)
      << " (IniModifierKey and Minus1 of tests/common/player_facts.h) in " << text;
  ASSERT_TRUE(editSetting(text, IniMainKey, number(DefaultKey), number(KeyL)))
      << "no one line " << IniMainKey << "=" << number(DefaultKey)
      << " (IniMainKey and DefaultKey of tests/common/player_facts.h) in " << text;
  seated(text.c_str());
  press(DefaultKey);
  EXPECT_FALSE(frameSwitchesAt(Apart)) << "N";
  release(DefaultKey);
  press(KeyCtrl);
  press(KeyL);
  EXPECT_TRUE(frameSwitchesAt(2 * Apart)) << "Ctrl+L";
}

class EndToEndTicks : public EndToEnd, public ::testing::WithParamInterface<std::uint32_t> {
 protected:
  void SetUp() override { begin(GetParam()); }
};

TEST_P(EndToEndTicks, SwitchesAreMoreThanTheSpacingApartAndBlinkWhileHeld) {
  seated();
  press(DefaultKey);
  EXPECT_TRUE(frameSwitchesAt(Apart));
  EXPECT_FALSE(frameSwitchesAt(Apart + 1));
  EXPECT_FALSE(frameSwitchesAt(Apart + SwitchSpacingMs))
      << "a switch exactly SwitchSpacingMs (" << SwitchSpacingMs << " ms) after another";
  constexpr std::uint32_t Last = Apart + SwitchSpacingMs + 1;
  EXPECT_TRUE(frameSwitchesAt(Last))
      << "no switch SwitchSpacingMs + 1 (" << SwitchSpacingMs + 1 << " ms) after another";
  constexpr std::uint32_t Held = 4 * BlinkMs;
  std::uint32_t switches = 0;
  for (std::uint32_t ms = Last + FrameMs; ms < Last + Held; ms += FrameMs) {
    switches += frameSwitchesAt(ms) ? 1 : 0;
  }
  EXPECT_EQ(switches, (Held - 1) / BlinkMs)
      << "one switch every " << BlinkMs << " ms, from SwitchSpacingMs (" << SwitchSpacingMs
      << " ms)";
  release(DefaultKey);
  for (std::uint32_t ms = Last + Held; ms < Last + 2 * Held; ms += FrameMs) {
    EXPECT_FALSE(frameSwitchesAt(ms));
  }
}

TEST_P(EndToEndTicks, AHeldKeyLastsTheHoldWindowAndAutoRepeatRenewsIt) {
  // The window's edge: held HoldWindowMs - 1 after the key's latest event, not at HoldWindowMs.
  for (const auto& [after, held] :
       {std::pair{HoldWindowMs - 1, true}, std::pair{HoldWindowMs, false}}) {
    begin(GetParam());
    seated();
    at(Apart);
    press(DefaultKey);  // no release ever comes
    EXPECT_TRUE(frameSwitchesAt(Apart));
    EXPECT_EQ(frameSwitchesAt(Apart + after), held)
        << after << " ms after the press; HoldWindowMs " << HoldWindowMs;
  }

  constexpr std::uint32_t Renewed = HoldWindowMs + 2 * Apart;
  at(Renewed);
  repeat(DefaultKey);  // auto-repeat: the window starts again
  EXPECT_TRUE(frameSwitchesAt(Renewed));
  constexpr std::uint32_t LastRepeat = Renewed + HoldWindowMs;
  for (std::uint32_t ms = Renewed; ms <= LastRepeat; ms += HoldWindowMs / 10) {
    at(ms);
    repeat(DefaultKey);
  }
  EXPECT_TRUE(frameSwitchesAt(LastRepeat + HoldWindowMs - 1))
      << "HoldWindowMs - 1 after the last repeat; HoldWindowMs " << HoldWindowMs;
  EXPECT_FALSE(frameSwitchesAt(LastRepeat + HoldWindowMs - 1 + Apart))
      << "more than HoldWindowMs after the last repeat; HoldWindowMs " << HoldWindowMs;
}

TEST_P(EndToEndTicks, MovingStraightIntoAnotherVehicleRestoresTheFirst) {
  seated();
  press(DefaultKey);
  EXPECT_TRUE(frameSwitchesAt(Apart));
  release(DefaultKey);
  EXPECT_EQ(neonOf(CarA), Dark);
  sitIn(CarB);
  at(Apart + 1);
  clearNativeCalls();
  frames();
  EXPECT_EQ(nativeCalls(), 4);
  EXPECT_EQ(neonOf(CarA), Magenta) << "the first vehicle gets its colour back";
  press(DefaultKey);
  EXPECT_TRUE(frameSwitchesAt(2 * Apart));  // CarB lit, so dark now
  release(DefaultKey);
  press(DefaultKey);
  EXPECT_TRUE(frameSwitchesAt(3 * Apart));
  EXPECT_EQ(neonOf(CarB), Cyan) << "lit again in its own colour";
}

INSTANTIATE_TEST_SUITE_P(Ticks, EndToEndTicks, ::testing::Values(OrdinaryStart, BeforeWrapStart));

TEST_F(EndToEnd, KeysThatNeverHadAnEventNeverFire) {
  begin(0);  // the first seconds of a tick cycle
  seated(iniText({{IniModifierKey, 0}, {IniMainKey, 1}}));
  for (std::uint32_t ms = Apart; ms < HoldWindowMs; ms += 97) {
    EXPECT_FALSE(frameSwitchesAt(ms)) << "tick " << ms;
  }
}

TEST_F(EndToEnd, OnlyTheLow32BitsOfANativeResultCount) {
  standinState()->world.resultUpperBits = 0xA5A5A5A5;
  seated();
  press(DefaultKey);
  EXPECT_TRUE(frameSwitchesAt(Apart));
  const NativeCallRecord& set = standinState()->natives.log[standinState()->natives.count - 1];
  EXPECT_EQ(set.args[0], static_cast<std::uint64_t>(CarA));
  sitIn(0);
  frames();
  EXPECT_EQ(neonOf(CarA), Magenta);
}

TEST_F(EndToEnd, ARestartKeepsTheStateAndReadsTheSettingsAgain) {
  seated();
  settings(iniText({{IniMainKey, KeyL}}));  // changed while the script runs
  press(KeyL);
  EXPECT_FALSE(frameSwitchesAt(Apart)) << "a changed file waits for a restart";
  release(KeyL);
  press(DefaultKey);
  EXPECT_TRUE(frameSwitchesAt(Apart + 1)) << "N is the hotkey until then";  // dark
  release(DefaultKey);
  standinRestartScripts();
  EXPECT_EQ(standinState()->scriptStarts, 1u);
  clearNativeCalls();
  at(2 * Apart);
  frames();
  EXPECT_EQ(standinState()->scriptStarts, 2u);
  EXPECT_EQ(nativeCalls(), 2) << "staying in, dark: no colour read";
  EXPECT_EQ(neonOf(CarA), Dark);
  press(DefaultKey);
  EXPECT_FALSE(frameSwitchesAt(3 * Apart)) << "N is no longer the hotkey";
  press(KeyL);
  EXPECT_TRUE(frameSwitchesAt(4 * Apart));
  EXPECT_EQ(neonOf(CarA), Magenta);
}

TEST_F(EndToEnd, HundredsOfLoadUnloadCycles) {
  settings(iniText({{IniMainKey, KeyL}}));
  for (int cycle = 0; cycle < 300; ++cycle) {
    load();
    sitIn(CarA);
    at(1000);
    frames();
    press(KeyL);
    frames();
    release(KeyL);
    standinUnloadPlugin();
    sitIn(0);
    ASSERT_EQ(neonOf(CarA), Dark) << "cycle " << cycle << ": the fresh module switched once";
    worldAddVehicle(standinState()->world, CarA, Magenta);
  }
  EXPECT_EQ(standinState()->registrations.count, 4 * 300);
  EXPECT_EQ(standinState()->scriptStarts, 300u);
}

TEST_F(EndToEnd, KeyEventsFromTheInputThreadWhileFramesRun) {
  seated();
  // Presses and releases of many keys stream in while frames run.
  for (int i = 0; i < 20'000; ++i) {
    const std::uint32_t key = static_cast<std::uint32_t>(i * 7) % 300;
    standinPostKey(key, 1, 0, i & 1, i & 2, i & 4, i & 1);
    if (i % 200 == 0) {
      at(500 + static_cast<std::uint32_t>(i));
      frames();
    }
  }
  // Then the hotkey goes down and up again, and the frames that follow run
  // inside the press's hold window: a lost press or a lost release shows.
  at(30'000);
  standinPostKey(DefaultKey, 1, ScanCode, 1, 1, 0, 0);
  standinWaitForKeys();
  EXPECT_TRUE(frameSwitchesAt(30'000)) << "the press came through";
  standinPostKey(DefaultKey, 1, ScanCode, 1, 0, 1, 1);
  standinWaitForKeys();
  for (std::uint32_t ms = 30'000 + FrameMs; ms < 30'000 + HoldWindowMs; ms += FrameMs) {
    ASSERT_FALSE(frameSwitchesAt(ms)) << "a switch " << ms - 30'000 << " ms after the release";
  }
}

// The one case on the real clock: the host's own GetTickCount and real
// sleeps. What it asserts holds however long the machine stalls: a held
// hotkey switches at least once, and two switches are more than
// SwitchSpacingMs apart (a switch is known to fall between the clock
// readings around its frame).
TEST_F(EndToEnd, RealClockSmoke) {
  load(StandinRealClock);
  sitIn(CarA);
  frames();
  Sleep(SwitchSpacingMs + 50);  // past the first-switch spacing even if the machine just booted
  press(DefaultKey);
  struct Span {
    DWORD before, after;  // GetTickCount around the frame that switched
  };
  std::vector<Span> switches;
  const DWORD begin = GetTickCount();
  // A second of frames, longer until the first switch comes (30 s at most).
  while ((switches.empty() || GetTickCount() - begin < 1000) && GetTickCount() - begin < 30'000) {
    repeat(DefaultKey);  // a key held down repeats, so no stall ends the hold
    const bool darkBefore = neonOf(CarA) == Dark;
    const DWORD before = GetTickCount();
    frames();
    if ((neonOf(CarA) == Dark) != darkBefore) {
      switches.push_back({before, GetTickCount()});
    }
    Sleep(10);
  }
  release(DefaultKey);
  EXPECT_GE(switches.size(), 1u);
  for (std::size_t i = 1; i < switches.size(); ++i) {
    EXPECT_GT(switches[i].after - switches[i - 1].before, SwitchSpacingMs)
        << "switches " << i - 1 << ", " << i << "; SwitchSpacingMs " << SwitchSpacingMs;
  }
}

}  // namespace
