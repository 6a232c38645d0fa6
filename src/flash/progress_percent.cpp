#include "flash/progress_percent.h"

#include "app/flash_job.h"

#include <cstdint>

int progress_percent()
{
    if (job.progress_total <= 0)
        return 0;
    return static_cast<int>(static_cast<int64_t>(job.progress_done) * 100 / job.progress_total);
}
