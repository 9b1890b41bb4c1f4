#include "input/hotkey_settings.h"

#include "host/platform.h"

constinit HotkeySettings hotkeySettings = {};

void loadHotkeySettings() {
  hotkeySettings.modifierKey = GetPrivateProfileIntA(
      SettingsSection, ModifierKeySetting, static_cast<std::int32_t>(NoModifier), SettingsFile);
  hotkeySettings.mainKey = GetPrivateProfileIntA(
      SettingsSection, MainKeySetting, static_cast<std::int32_t>(DefaultMainKey), SettingsFile);
  hotkeySettings.noModifier = hotkeySettings.modifierKey == NoModifier;
}
