// The two Windows calls the plugin makes, declared with their binary types.
//
// The Windows build imports them from KERNEL32 (QUILLMERE_IMPORT: see
// host/host.h) and calls them through the import address table; the Linux
// build links stand-ins (a clock the test sets, an INI reader). No Windows
// header is included anywhere in the plugin, so these declarations are the
// only ones.
#pragma once

#include <cstdint>

// These declarations leave out Windows' calling convention, which only the
// x86-64 ABI allows (32-bit Windows calls KERNEL32 __stdcall), and the host
// and the game are x86-64 only anyway.
#if defined(__x86_64__) || defined(_M_X64)
inline constexpr bool TargetIsX86_64 = true;
#else
inline constexpr bool TargetIsX86_64 = false;
#endif
static_assert(TargetIsX86_64, "Quillmere is built for x86-64 only");

extern "C" {

// Milliseconds since the system started, as an unsigned 32-bit count that
// wraps to 0 after about 49.7 days. Callers compare ticks only by unsigned
// 32-bit differences, never by order, so the wrap costs nothing.
// Callable from any thread.
QUILLMERE_IMPORT std::uint32_t GetTickCount();

// The integer value of `key` in `[section]` of the INI file `fileName`, or
// `defaultValue` when the file, the section or the key is missing. A bare
// name (no `\` or `/`) is looked up in the Windows folder, not the current
// one; a relative name with a separator, as the plugin's `.\Quillmere.ini`,
// is resolved against the process's current directory. A value of
// decimal digits with an optional leading minus sign reads as that integer
// held in 32 bits, so "-1" reads as 0xFFFFFFFF.
QUILLMERE_IMPORT std::uint32_t GetPrivateProfileIntA(const char* section, const char* key,
                                                     std::int32_t defaultValue,
                                                     const char* fileName);

}  // extern "C"
