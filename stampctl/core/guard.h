// The exception guard of the exports that must never let an exception reach the caller.
#pragma once

#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"

namespace stampctl {

// Runs `operation` (controller construction included) and turns any exception into EC_FAIL,
// leaving `traceLine` in the trace at the failure level. Whatever the operation changed before
// it threw stays changed.
template <class Operation>
auto guardedCall(const char* traceLine, Operation&& operation) -> decltype(operation())
{
    try {
        return operation();
    } catch (...) {
        TrcWritef(kTraceError, "%s", traceLine);
        return EC_FAIL;
    }
}

}  // namespace stampctl
