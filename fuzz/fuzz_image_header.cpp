// The image header: the first characters of any file, read as the first
// record of an image.
#include "fakes.h"
#include "fuzz_support.h"

#include "app/bounded_text.h"
#include "app/flash_job.h"
#include "modem/image_header.h"
#include "modem/modem_types.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fakes::Doubles d;
    copy_text(job.image_path, write_scratch_file(data, size));

    FUZZ_CHECK(read_image_header());
    FUZZ_CHECK(job.image_type >= MT_UNKNOWN && job.image_type <= MT_PC_CARD);
    check_job_texts_terminated();
    return 0;
}
