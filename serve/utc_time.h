// The time stamps the service hands out (a token's creation, a status poll) as one text form.
#pragma once

#include <string>

namespace stampctl_serve {

// Now, UTC, to the second: "2026-12-07T18:30:05Z".
std::string utcNow();

}  // namespace stampctl_serve
