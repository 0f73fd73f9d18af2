#pragma once
// Included by exactly one source of a test that holds its memory to a bound: freed memory waits in
// AddressSanitizer's quarantine (256 MiB by default), which would read as growth; a small one keeps
// the check meaningful under the sanitizer too.

#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=1";
}
#endif
