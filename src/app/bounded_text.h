// Bounded copies and formats into the fixed text buffers of the job record:
// the text is cut to fit and always NUL-terminated.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>

template <size_t N>
void copy_text(char (&dest)[N], const char* src)
{
    std::snprintf(dest, N, "%s", src);
}

template <size_t N>
void append_text(char (&dest)[N], const char* src)
{
    size_t used = std::strlen(dest);
    if (used + 1 < N)
        std::snprintf(dest + used, N - used, "%s", src);
}

template <size_t N, typename... Args>
void format_text(char (&dest)[N], const char* format, Args... args)
{
    std::snprintf(dest, N, format, args...);
}
