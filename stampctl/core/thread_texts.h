// Texts that exports hand back live in buffers of the calling thread. Each is filled from that
// call's own reply, so a thread's text is never another call's, and it stays valid until the
// same thread's next call into the library.
#pragma once

#include <cstddef>

namespace stampctl {

struct ThreadTexts {
    static constexpr size_t kErrorSize = 256;
    static constexpr size_t kTextSize = 4096;  // the alarm log is the longest text
    char error[kErrorSize];                    // "-@#<code>", and the message of a binding refusal
    char text[kTextSize];                      // the data of a text-returning operation
};

ThreadTexts& threadTexts();

// The calling thread's text buffer, emptied.
char* freshText();

}  // namespace stampctl
