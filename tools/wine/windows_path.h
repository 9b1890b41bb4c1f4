// Paths and arguments for the Windows programs that run under Wine (the
// end-to-end tests, the ride, the shipped-DLL benchmark), which are given
// paths as Linux names them. Text is UTF-8 throughout, and the wide Windows
// calls take it to and from the system, so a path keeps every letter
// whatever the code page. On Windows, paths are Windows ones already.
#pragma once

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

// A path for the standard library's files and the wide Windows calls
// (.wstring()): UTF-8 in.
inline std::filesystem::path fileName(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// `path` as Windows names it: a Linux path (one that starts with '/') on
// drive Z:, which a Wine prefix maps to the root (tools/wine/run.sh makes
// the prefix); anything else, as on Windows itself, as it is.
inline std::string windowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') {
    std::replace(path.begin(), path.end(), '/', '\\');
    path.insert(0, "Z:");
  }
  return path;
}

// The program's arguments as the command line holds them, in UTF-8, the
// program's name first (argv in main is in the code page, which loses every
// letter it lacks).
inline std::vector<std::string> utf8Arguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 0; wide != nullptr && i < count; ++i) {
    const std::u8string text = std::filesystem::path(wide[i]).u8string();
    arguments.emplace_back(text.begin(), text.end());
  }
  LocalFree(static_cast<HLOCAL>(wide));
  return arguments;
}
