// Paths and arguments for the Windows programs that run under Wine (the
// end-to-end tests, the ride, the shipped-DLL benchmark).
//
// They are given paths as Linux names them (run.sh passes arguments on as
// they are, and the build its folders): Wine itself says what a Linux path
// is called on its Windows side, so no mapping is written here. Text is
// UTF-8 throughout; the wide Windows calls take it to and from the system,
// so a path keeps every letter it has, whatever the code page. Built and run
// on Windows, paths are Windows ones already and pass as they are.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

inline std::wstring wideText(const std::string& utf8) {
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), length);
  return out;
}

inline std::string utf8Text(const std::wstring& wide) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), length,
                      nullptr, nullptr);
  return out;
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

// The Linux path Wine opens for the Linux path `path`: `path` itself, or
// another one where Windows reads the name otherwise (it drops dots and
// spaces at a name's end, reads a backslash as a separator, and takes a name
// in other letters' case when none has them in this one). Empty where Wine
// cannot name it, and on Windows.
inline std::string linuxPathWineOpens(const std::string& path) {
  using ToUnix = char*(CDECL*)(const WCHAR*);
  static const ToUnix toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* unix = toUnix != nullptr ? toUnix(wideText(windowsPath(path)).c_str()) : nullptr;
  if (unix == nullptr) {
    return "";
  }
  std::string out = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return out;
}

// A path for the standard library's files: UTF-8 in, the wide name out.
inline std::filesystem::path fileName(const std::string& utf8) {
  return std::filesystem::path(wideText(utf8));
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
