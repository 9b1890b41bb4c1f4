#include "plugin_test.h"

extern "C" std::int32_t DllMain(void* module, std::uint32_t reason, void* reserved);

namespace {

using EntryTest = PluginTest;

void* const Module = reinterpret_cast<void*>(0x180000000);

TEST_F(EntryTest, AttachRegistersTheScriptThenTheKeyboardHandler) {
  const std::uint32_t settingsReads = standinSettings.calls;
  EXPECT_EQ(DllMain(Module, 1, nullptr), 1);
  ASSERT_EQ(recordingHost.registrations.count, 2);
  const RegistrationRecord& script = recordingHost.registrations.log[0];
  EXPECT_EQ(script.call, RegistrationCall::ScriptRegister);
  EXPECT_EQ(script.module, Module);
  EXPECT_EQ(script.script, &scriptEntry);
  const RegistrationRecord& handler = recordingHost.registrations.log[1];
  EXPECT_EQ(handler.call, RegistrationCall::HandlerRegister);
  EXPECT_EQ(handler.handler, &handleKeyEvent);
  EXPECT_EQ(standinSettings.calls, settingsReads) << "the entry point reads no settings";
  EXPECT_EQ(callCount(), 0) << "nor calls a native";
}

TEST_F(EntryTest, DetachWithdrawsTheScriptFirst) {
  DllMain(Module, 1, nullptr);
  EXPECT_EQ(DllMain(Module, 0, reinterpret_cast<void*>(1)), 1);
  ASSERT_EQ(recordingHost.registrations.count, 4);
  EXPECT_EQ(recordingHost.registrations.log[2].call, RegistrationCall::ScriptUnregister);
  EXPECT_EQ(recordingHost.registrations.log[2].script, &scriptEntry);
  EXPECT_EQ(recordingHost.registrations.log[3].call, RegistrationCall::HandlerUnregister);
  EXPECT_EQ(recordingHost.registrations.log[3].handler, &handleKeyEvent);
}

TEST_F(EntryTest, ThreadNotificationsAndUnknownReasonsDoNothing) {
  for (std::uint32_t reason : {2u, 3u, 4u, 0xFFFFFFFFu}) {
    EXPECT_EQ(DllMain(Module, reason, nullptr), 1) << reason;
  }
  EXPECT_EQ(recordingHost.registrations.count, 0);
}

}  // namespace
