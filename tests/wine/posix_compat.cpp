#include "posix_compat.h"

#include <direct.h>
#include <process.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

namespace {
constexpr char NAME_CHARS[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t SUFFIX_LEN = 6;
constexpr int ATTEMPTS = 1000;
}  // namespace

extern "C" char* mkdtemp(char* pattern)
{
    size_t length = std::strlen(pattern);
    if (length < SUFFIX_LEN || std::strcmp(pattern + length - SUFFIX_LEN, "XXXXXX") != 0) {
        errno = EINVAL;
        return nullptr;
    }
    char* suffix = pattern + length - SUFFIX_LEN;
    unsigned seed = GetTickCount() ^ (static_cast<unsigned>(_getpid()) << 16);
    for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
        for (size_t i = 0; i < SUFFIX_LEN; ++i) {
            seed = seed * 1103515245u + 12345u;
            suffix[i] = NAME_CHARS[(seed >> 16) % (sizeof NAME_CHARS - 1)];
        }
        if (_mkdir(pattern) == 0)
            return pattern;
        if (errno != EEXIST)
            return nullptr;
    }
    errno = EEXIST;
    return nullptr;
}
