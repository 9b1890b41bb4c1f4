#include "standins/native/profile.h"

#include <ini.h>
#include <strings.h>

#include <string>

#include "host/platform.h"

namespace {

struct ProfileQuery {
  const char* section;  // wanted section
  const char* key;      // wanted key
  bool found;           // a value was seen
  std::uint32_t value;  // that value, once found
};

int onEntry(void* user, const char* section, const char* name, const char* value) {
  ProfileQuery& query = *static_cast<ProfileQuery*>(user);
  if (!query.found && strcasecmp(section, query.section) == 0 && strcasecmp(name, query.key) == 0) {
    query.found = true;
    query.value = parseProfileInt(value);
  }
  return 1;  // keep going: a malformed line elsewhere does not hide the key
}

std::uint32_t answer(const ProfileQuery& query, std::int32_t defaultValue) {
  return query.found ? query.value : static_cast<std::uint32_t>(defaultValue);
}

}  // namespace

std::uint32_t parseProfileInt(const char* value) {
  const char* at = value;
  const bool negative = *at == '-';
  if (negative) {
    ++at;
  }
  std::uint32_t magnitude = 0;
  for (; *at >= '0' && *at <= '9'; ++at) {
    magnitude = magnitude * 10 + static_cast<std::uint32_t>(*at - '0');
  }
  return negative ? 0u - magnitude : magnitude;
}

std::uint32_t readProfileIntFromText(const char* text, const char* section, const char* key,
                                     std::int32_t defaultValue) {
  ProfileQuery query = {section, key, false, 0};
  ini_parse_string(text, onEntry, &query);
  return answer(query, defaultValue);
}

extern "C" std::uint32_t GetPrivateProfileIntA(const char* section, const char* key,
                                               std::int32_t defaultValue, const char* fileName) {
  // The plugin names its file the Windows way (".\\Quillmere.ini").
  std::string path(fileName);
  for (char& c : path) {
    if (c == '\\') {
      c = '/';
    }
  }
  ProfileQuery query = {section, key, false, 0};
  ini_parse(path.c_str(), onEntry, &query);  // a file that cannot be opened finds nothing
  return answer(query, defaultValue);
}
