// Preloaded into flashloader-cli by the soak: when the process ends normally
// it counts the descriptors beyond standard input, output and error that are
// still open on a file or device, and writes the count and the list to the
// file named in $FD_AUDIT_OUT ("open: 0" when none). A port or file the job
// forgot to close shows up here; pipes (the program's signal pipe lives as
// long as the program) are listed but not counted.
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

__attribute__((destructor)) void audit_open_descriptors()
{
    const char* out_path = std::getenv("FD_AUDIT_OUT");
    if (!out_path)
        return;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir)
        return;
    char list[2048] = "";  // the counted descriptors
    size_t used = 0;
    int open_count = 0;
    while (dirent* entry = readdir(dir)) {
        int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9' || fd <= 2 || fd == dirfd(dir))
            continue;
        char link[64];
        char target[512];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        ssize_t n = readlink(link, target, sizeof target - 1);
        target[n > 0 ? n : 0] = '\0';
        if (target[0] != '/')
            continue;
        ++open_count;
        if (used < sizeof list) {
            int wrote = std::snprintf(list + used, sizeof list - used, " %d=%s", fd, target);
            used += wrote > 0 ? static_cast<size_t>(wrote) : 0;
        }
    }
    closedir(dir);
    int out = open(out_path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0)
        return;
    dprintf(out, "open: %d%s\n", open_count, list);
    close(out);
}

}  // namespace
