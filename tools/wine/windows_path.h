// Paths and arguments for the Windows programs that run under Wine (the
// end-to-end tests, the ride, the shipped-DLL benchmark), which are given
// paths as Linux names them: Wine says what a Linux path is called on its
// Windows side. Text is UTF-8 throughout, and the wide Windows calls take it
// to and from the system, so a path keeps every letter whatever the code
// page. On Windows, paths are Windows ones already and pass as they are.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

// A path for the standard library's files and the wide Windows calls
// (.wstring()): UTF-8 in.
inline std::filesystem::path fileName(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8Text(const std::wstring& wide) {
  const std::u8string text = std::filesystem::path(wide).u8string();
  return {text.begin(), text.end()};
}

// `path` as Windows names it: a Linux path (one that starts with '/') as Wine
// maps it, anything else as it is. UTF-8 in and out.
inline std::string windowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') {
    return path;
  }
  // Wine's own export: the Linux path, in the system's UTF-8, to a path on a
  // Windows drive, allocated on the process heap; absent on Windows.
  using ToDos = WCHAR*(CDECL*)(const char*);
  static const ToDos toDos = reinterpret_cast<ToDos>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  WCHAR* dos = toDos != nullptr ? toDos(path.c_str()) : nullptr;
  if (dos == nullptr) {
    return path;
  }
  std::string out = utf8Text(dos);
  HeapFree(GetProcessHeap(), 0, dos);
  return out;
}

// The program's arguments as the command line holds them, in UTF-8, the
// program's name first (argv in main is in the code page, which loses every
// letter it lacks).
inline std::vector<std::string> utf8Arguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 0; wide != nullptr && i < count; ++i) {
    arguments.push_back(utf8Text(wide[i]));
  }
  LocalFree(static_cast<HLOCAL>(wide));
  return arguments;
}
