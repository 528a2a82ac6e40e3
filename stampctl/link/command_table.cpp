#include "stampctl/link/command_table.h"

#include <cstring>

#include "stampctl/link/frame.h"

namespace stampctl::link {
namespace {

constexpr uint8_t H = kKindHeartbeat;
constexpr uint8_t S = kKindSet;
constexpr uint8_t Q = kKindQuery;
constexpr int V = kVariablePayload;

const CommandRow kCommands[] = {
    // cmd                          kind code  fixed bytes       n  payload trailer surplus
    {CMD_GET_MACHINE_NUM, Q, 0x01, {0x00}, 1, 0, 0, 0},
    {CMD_SET_MACHINE_NUM, S, 0x01, {0x00}, 1, 12, 0, 0},
    {CMD_GET_RFID, Q, 0x02, {}, 0, 1, 0, 0},
    {CMD_SET_STAMP_STYLE, S, 0x04, {}, 0, 1, 0, 0},
    {CMD_DEL_BACKDOOR_EXCEPTION, S, 0x07, {0x00, 0x00}, 2, 0, 0, 0},
    {CMD_READ_BACKDOOR_EXCEPTION, Q, 0x07, {}, 0, 1, 1, 0},
    {CMD_OPEN_BACKDOOR_ABNORMAL, S, 0x07, {0x0A}, 1, 52, 0, 0},
    {CMD_GET_SLOT_INFO, Q, 0x0F, {0x00}, 1, 0, 0, 0},
    {CMD_GET_FIRMWARE_VER, Q, 0x10, {0x00}, 1, 0, 0, 0},
    {CMD_GET_POINT_INFO, Q, 0x12, {0x00}, 1, 0, 0, 0},
    {CMD_SET_BASE_POINTS, S, 0x12, {0x00}, 1, 50, 0, 0},
    {CMD_GET_MACHINE_ID, Q, 0x11, {0x00}, 1, 0, 0, 0},
    {CMD_SET_MACHINE_ID, S, 0x11, {0x00}, 1, 20, 0, 0},
    {CMD_OPEN_PAPER_DOOR, S, 0x06, {0x00}, 1, 3, 0, 0},
    {CMD_READ_SEAL_BUF, Q, 0x13, {}, 0, 1, 0, 0},
    {CMD_WRITE_SEAL_BUF, S, 0x13, {}, 0, V, 0, 0},
    {CMD_GET_CONFIG, Q, 0x0E, {}, 0, 1, 0, 0},
    {CMD_SET_CONFIG, S, 0x0E, {0x00}, 1, 50, 0, 0},
    {CMD_GET_SECURITY_CODE, Q, 0x0C, {0x00}, 1, 0, 0, 0},
    {CMD_SET_SECURITY_CODE, S, 0x0C, {0x00}, 1, 50, 0, 0},
    {CMD_GET_MACHINE_TYPE, Q, 0x0A, {0x00}, 1, 0, 0, 0},
    {CMD_SET_MACHINE_TYPE, S, 0x0A, {0x00}, 1, 16, 0, 0},
    {CMD_GET_ROTATE_POINTS, Q, 0x13, {0x02}, 1, 0, 0, 0},
    {CMD_SET_ROTATE_POINTS, S, 0x13, {0x02}, 1, 54, 0, 0},
    {CMD_GET_FIRMWARE_MODE, Q, 0x31, {0x00}, 1, 0, 0, 0},
    {CMD_SET_FIRMWARE_MODE, S, 0x31, {0x00}, 1, 1, 0, 0},
    {CMD_GET_BIND_INFO, Q, 0x13, {0x03}, 1, 0, 0, 0},
    {CMD_SET_BIND_INFO, S, 0x13, {0x03}, 1, V, 0, 0},
    {CMD_LIGHT_OFF, S, 0x0D, {0x00, 0x00}, 2, 0, 0, 0},
    {CMD_LIGHT_ON, S, 0x0D, {0x00, 0x01}, 2, 0, 0, 0},
    {CMD_OPEN_BACK_DOOR, S, 0x08, {0x00}, 1, 3, 0, 0},
    {CMD_MOVE_ALARM_ON, S, 0x14, {0x00, 0x01, 0, 0}, 4, 0, 0, 0},
    {CMD_MOVE_ALARM_OFF, S, 0x14, {0x00, 0x00, 0, 0}, 4, 0, 0, 0},
    {CMD_BUZZER_ON, S, 0x15, {0x00, 0x01}, 2, 0, 0, 0},
    {CMD_BUZZER_OFF, S, 0x15, {0x00, 0x00}, 2, 0, 0, 0},
    // Lock and unlock share their code: the caller's byte alone tells them apart.
    {CMD_LOCK_SEAL, S, 0x23, {0x00}, 1, 1, 0, 0},
    {CMD_UNLOCK_SEAL, S, 0x23, {0x00}, 1, 1, 0, 0},
    {CMD_GET_ALARM_LOG_COUNT, Q, 0x25, {0x00}, 1, 0, 0, 0},
    // The machine expects the length byte 4 here although three body bytes follow.
    {CMD_GET_ALARM_LOG_ENTRY, Q, 0x26, {}, 0, 1, 0, 1},
    {CMD_DEL_ALARM_LOG, Q, 0x27, {0x00}, 1, 0, 0, 0},
    // The status poll has no body at all: AA 55 01 00 and the checksum.
    {CMD_HEARTBEAT, H, 0x00, {}, 0, 0, 0, 0},
    {CMD_RESET, S, 0x00, {0x00}, 1, 0, 0, 0},
    // Seal, X and Y in hundredths of a millimetre, angle (all big-endian), seal kind.
    {CMD_STAMP, S, 0x03, {0x00}, 1, 8, 0, 0},
};

}  // namespace

const CommandRow* commandRow(CMD_DEF cmd)
{
    for (const CommandRow& row : kCommands)
        if (row.cmd == cmd) return &row;
    return nullptr;
}

size_t buildCommandFrame(const CommandRow& row, const unsigned char* payload, int len, unsigned char* frame)
{
    if (len < 0 || static_cast<size_t>(len) > kMaxPayload || (len > 0 && !payload)) return 0;
    if (row.payloadLen != kVariablePayload && len != row.payloadLen) return 0;

    const size_t body = 2 + row.fixedLen + static_cast<size_t>(len) + row.trailer;
    if (kOffBody + body + 1 > kFrameBufferSize) return 0;

    size_t at = 0;
    frame[at++] = kSync0;
    frame[at++] = kSync1;
    frame[at++] = row.kind;
    if (row.kind == kKindHeartbeat) {
        frame[at++] = 0;
        return at + 1;
    }
    frame[at++] = static_cast<uint8_t>(body + row.lengthSurplus);
    frame[at++] = kBodyTag;
    frame[at++] = row.code;
    std::memcpy(frame + at, row.fixed, row.fixedLen);
    at += row.fixedLen;
    if (len > 0) std::memcpy(frame + at, payload, static_cast<size_t>(len));
    at += static_cast<size_t>(len) + row.trailer;
    return at + 1;  // the checksum's place
}

}  // namespace stampctl::link
