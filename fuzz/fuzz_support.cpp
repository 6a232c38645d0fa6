#include "fuzz_support.h"

#include "app/flash_job.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

char scratch_path[64];

void remove_scratch_file()
{
    unlink(scratch_path);
}

bool terminated(const char* text, size_t size)
{
    return std::memchr(text, '\0', size) != nullptr;
}

}  // namespace

void fuzz_check_failed(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: invariant failed: %s\n", file, line, condition);
    std::abort();
}

const char* write_scratch_file(const uint8_t* data, size_t size)
{
    if (!scratch_path[0]) {
        const char* dir = std::getenv("TMPDIR");
        std::snprintf(scratch_path, sizeof scratch_path, "%s/flashfuzz-XXXXXX",
                      dir && std::strlen(dir) < 40 ? dir : "/tmp");
        int fd = mkstemp(scratch_path);
        FUZZ_CHECK(fd >= 0);
        close(fd);
        std::atexit(remove_scratch_file);
    }
    FILE* file = std::fopen(scratch_path, "wb");
    FUZZ_CHECK(file);
    FUZZ_CHECK(std::fwrite(data, 1, size, file) == size);
    std::fclose(file);
    return scratch_path;
}

void check_job_texts_terminated()
{
    FUZZ_CHECK(terminated(job.msg_buf, sizeof job.msg_buf));
    FUZZ_CHECK(terminated(job.detail_buf, sizeof job.detail_buf));
    FUZZ_CHECK(terminated(job.str_out1, sizeof job.str_out1));
    FUZZ_CHECK(terminated(job.str_out2, sizeof job.str_out2));
    FUZZ_CHECK(terminated(job.image_path, sizeof job.image_path));
}
