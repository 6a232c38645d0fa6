#include "platform/cli/image_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

bool has_extension(const std::string& name)
{
    size_t slash = name.rfind('/');
    size_t dot = name.rfind('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
}

}  // namespace

bool resolve_image_name(const std::string& name, const char* default_extension, std::string& full_path,
                        std::string& reason)
{
    std::string candidate = name;
    struct stat info {};
    if (::stat(candidate.c_str(), &info) != 0 && errno == ENOENT && !has_extension(name) && default_extension &&
        *default_extension) {
        std::string with_extension = name + "." + default_extension;
        if (::stat(with_extension.c_str(), &info) == 0)
            candidate = with_extension;
    }
    if (::stat(candidate.c_str(), &info) != 0) {
        reason = name + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        reason = name + ": " + std::strerror(EISDIR);
        return false;
    }
    char resolved[PATH_MAX];
    if (!realpath(candidate.c_str(), resolved)) {
        reason = name + ": " + std::strerror(errno);
        return false;
    }
    full_path = resolved;
    return true;
}
