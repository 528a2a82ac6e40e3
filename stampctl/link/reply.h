// What one exchange hands back to the caller that made it. Every caller gets its own reply, so
// two threads talking to the machine never read each other's data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "stampctl/link/frame.h"

namespace stampctl::link {

// Who may answer: most commands need the main board; the status poll and the few operations
// the backup board serves too pass on either.
enum class Board { Main, Either };

struct Reply {
    uint8_t frame[kPacketSize] = {};   // the packet as it arrived
    size_t frameLen = 0;               // what its length byte covers, checksum included
    uint8_t data[kMaxReplyData] = {};  // a command reply's data; zero beyond dataLen
    size_t dataLen = 0;
    bool refused = false;  // the machine answered with a refusal instead

    // A heartbeat reply carries the status record instead of data.
    const uint8_t* statusBytes() const { return frame + kOffStatus; }
    // The data as text: at most `max` bytes, ending at the first zero.
    std::string text(size_t max) const;
    // Copies that text into `dst` (room for max + 1 bytes) and terminates it.
    void copyText(char* dst, size_t max) const;
};

}  // namespace stampctl::link
