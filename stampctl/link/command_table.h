// How each command of CMD_DEF is laid out on the wire.
#pragma once

#include <cstddef>
#include <cstdint>

#include "stampctl/link/cmd_def.h"

namespace stampctl::link {

constexpr int kVariablePayload = -1;

struct CommandRow {
    CMD_DEF cmd;
    uint8_t kind;      // 2 set or act, 3 query
    uint8_t code;      // body byte after 0x60
    uint8_t fixed[4];  // fixed body bytes between the code and the payload
    uint8_t fixedLen;
    int payloadLen;         // bytes the caller must pass, or kVariablePayload
    uint8_t trailer;        // fixed bytes after the payload (all zero)
    uint8_t lengthSurplus;  // the length byte counts this many bytes that are not sent
};

// The row of `cmd`, or nullptr for a value that is not a command.
const CommandRow* commandRow(CMD_DEF cmd);

// Builds the request frame of `cmd` into `frame` (zero-filled, kFrameBufferSize bytes), the
// checksum byte left as a placeholder. Returns the frame's length in bytes, or 0 when the
// payload does not match the command or does not fit the frame.
size_t buildCommandFrame(const CommandRow& row, const unsigned char* payload, int len, unsigned char* frame);

}  // namespace stampctl::link
