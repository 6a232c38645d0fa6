#include "app/job_step.h"

#include <cstdio>

bool file_size_of(const char* path, long& size)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    long end = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        end = std::ftell(file);
    std::fclose(file);
    if (end < 0)
        return false;
    size = end;
    return true;
}
