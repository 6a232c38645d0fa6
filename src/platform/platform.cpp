#include "platform/platform.h"

namespace platform {

Services& services()
{
    static Services installed;
    return installed;
}

}  // namespace platform
