#include "serve/utc_time.h"

#include <ctime>

namespace stampctl_serve {

std::string utcNow()
{
    const time_t now = std::time(nullptr);
    struct tm utc {};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace stampctl_serve
