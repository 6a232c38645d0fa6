#include "app/flash_job.h"

#include <cstring>

FlashJob job{};

void reset_flash_job()
{
    std::memset(&job, 0, sizeof job);
}
