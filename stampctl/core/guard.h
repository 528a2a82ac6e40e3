// The exception guard of every export: an exception that left a C function would end the
// caller's process, so none ever does.
#pragma once

#include <cstdio>
#include <exception>
#include <type_traits>

#include "stampctl/core/result_codes.h"
#include "stampctl/core/thread_texts.h"
#include "stampctl/core/trace.h"

namespace stampctl {

// What an export returns when its operation threw: -602, or as text "-@#-602" in the calling
// thread's buffer (it may not reach the controller, whose construction may be what threw).
template <class Result>
Result guardFailure()
{
    if constexpr (std::is_pointer_v<Result>) {
        char* text = threadTexts().error;
        std::snprintf(text, ThreadTexts::kErrorSize, "-@#%d", EC_FAIL);
        return text;
    } else {
        return static_cast<Result>(EC_FAIL);
    }
}

// Runs `operation` (controller construction included) and turns any exception into the failure
// above, leaving `traceLine` in the trace at the failure level. Whatever the operation changed
// before it threw stays changed.
template <class Operation>
auto guardedCall(const char* traceLine, Operation&& operation) -> decltype(operation())
{
    try {
        return operation();
    } catch (...) {
        try {
            TrcWritef(kTraceError, "%s", traceLine);
        } catch (...) {
            // Tracing is best effort here; the result still tells the caller.
        }
        return guardFailure<decltype(operation())>();
    }
}

}  // namespace stampctl
