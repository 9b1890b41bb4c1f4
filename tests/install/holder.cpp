// Holds a file as a running game would, for the install table run with the
// official Windows CMake: `load` maps it as the game maps a plugin it loaded
// (its imports left unresolved: the host is not there), `open` opens it
// without delete sharing, as a program reading it may. Prints "holding" once
// it holds the file, and lets go when its standard input ends.
// Usage: holder.exe load|open FILE
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: holder.exe load|open FILE\n", stderr);
    return 2;
  }
  const bool held = std::strcmp(argv[1], "load") == 0
                        ? LoadLibraryExA(argv[2], nullptr, DONT_RESOLVE_DLL_REFERENCES) != nullptr
                        : CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr) != INVALID_HANDLE_VALUE;
  if (!held) {
    std::fprintf(stderr, "holder.exe: cannot hold %s (error %lu)\n", argv[2], GetLastError());
    return 1;
  }
  std::puts("holding");
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
  return 0;
}
