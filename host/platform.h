// The two Windows calls the plugin makes, declared with their binary types.
//
// The Windows build links them from KERNEL32 directly; the native build links
// stand-ins (a clock the test sets, an INI reader). No Windows header is
// included anywhere in the plugin, so these declarations are the only ones.
#pragma once

#include <cstdint>

extern "C" {

// Milliseconds since the system started, as an unsigned 32-bit count that
// wraps to 0 after about 49.7 days. Callers compare ticks only by unsigned
// 32-bit differences, never by order, so the wrap costs nothing.
// Callable from any thread.
std::uint32_t GetTickCount();

// The integer value of `key` in `[section]` of the INI file `fileName`, or
// `defaultValue` when the file, the section or the key is missing. A relative
// `fileName` is resolved against the process's current directory. A value of
// decimal digits with an optional leading minus sign reads as that integer
// held in 32 bits, so "-1" reads as 0xFFFFFFFF.
std::uint32_t GetPrivateProfileIntA(const char* section, const char* key, std::int32_t defaultValue,
                                    const char* fileName);

}  // extern "C"
