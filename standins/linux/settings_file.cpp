#include <strings.h>

#include "host/platform.h"
#include "standins/linux/standins.h"

StandinSettingsFile standinSettings;

namespace {

// Windows matches the file's, the section's and the key's names in any ASCII
// letter case, as strcasecmp does in the C locale the tests run in.
bool sameName(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

// Whether `fileName` names the file `name` in the current folder: ".\NAME"
// or "./NAME". A bare name is looked for in the Windows folder instead.
bool inCurrentFolder(const char* fileName, const char* name) {
  return fileName[0] == '.' && (fileName[1] == '\\' || fileName[1] == '/') &&
         sameName(fileName + 2, name);
}

}  // namespace

extern "C" std::uint32_t GetPrivateProfileIntA(const char* section, const char* key,
                                               std::int32_t defaultValue, const char* fileName) {
  StandinSettingsFile& file = standinSettings;
  ++file.calls;
  if (file.name != nullptr && inCurrentFolder(fileName, file.name)) {
    for (int i = 0; i < file.count; ++i) {
      if (sameName(file.rows[i].section, section) && sameName(file.rows[i].key, key)) {
        return file.rows[i].value;
      }
    }
  }
  return static_cast<std::uint32_t>(defaultValue);
}
