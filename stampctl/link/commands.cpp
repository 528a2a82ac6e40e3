// The command layer: one command per exchange, the seal information block in chunks, the motion
// parameters, and the heartbeat that keeps the status record.
#include <algorithm>
#include <cstring>

#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/link/command_table.h"
#include "stampctl/link/frame.h"
#include "stampctl/link/reply.h"
#include "stampctl/seal.h"

using namespace stampctl;
using namespace stampctl::link;

namespace {
constexpr size_t kSealChunk = 56;          // block bytes per chunk
constexpr size_t kSealLengthBytes = 2;     // the block's little-endian length prefix
constexpr int kMaxSealWrite = 1022;        // the message, prefix included, fills 1024 at most
constexpr int kMaxSealRead = 1023;
constexpr size_t kMotionBlockSize = 50;
constexpr size_t kFirmwareTextMax = 100;

int16_t bigEndian16(const unsigned char* p)
{
    return static_cast<int16_t>((p[0] << 8) | p[1]);
}
}  // namespace

int CSeal::DoCommand(CMD_DEF cmd, const unsigned char* payload, int len, Reply& reply,
                     Board board)
{
    unsigned char frame[kFrameBufferSize] = {};
    const CommandRow* row = commandRow(cmd);
    const size_t frameLen = row ? buildCommandFrame(*row, payload, len, frame) : 0;
    if (frameLen == 0) {
        reply = Reply{};  // the exchange clears it otherwise
        TrcWritef(kTraceError, "ExeCmd refused: cmd:%d, len:%d does not fit the command",
                  static_cast<int>(cmd), len);
        return EC_BAD_PARAMETER;
    }
    // The heartbeat is how a refusal is explained, so it cannot be explained by one itself.
    if (cmd == CMD_HEARTBEAT) return SendAndRcvHelp(frame, frameLen, reply, board);
    return SendAndRcv(frame, frameLen, reply, board);
}

int CSeal::_ExeCmd(CMD_DEF cmd, const unsigned char* payload, int len, Reply* reply, Board board)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "ExeCmd cmd:%d, len:%d", static_cast<int>(cmd), len);
    Reply unused;
    const int result = DoCommand(cmd, payload, len, reply ? *reply : unused, board);
    log.SetRet("return %d", result);
    return result;
}

int CSeal::writeSealBuf(const char* data, short len, int& done, int& nCount, int& lenTemp)
{
    if (len < 0) return EC_BACKUP_BOARD;
    if (len > kMaxSealWrite || (len > 0 && !data)) return EC_BAD_PARAMETER;

    unsigned char message[kMaxSealWrite + kSealLengthBytes];
    lenTemp = len + static_cast<int>(kSealLengthBytes);
    message[0] = static_cast<unsigned char>(len & 0xFF);
    message[1] = static_cast<unsigned char>((len >> 8) & 0xFF);
    if (len > 0) std::memcpy(message + kSealLengthBytes, data, static_cast<size_t>(len));

    unsigned char chunk[1 + kSealChunk];
    for (int index = 0; done < lenTemp; ++index) {
        nCount = std::min(static_cast<int>(kSealChunk), lenTemp - done);
        chunk[0] = static_cast<unsigned char>(index);
        std::memcpy(chunk + 1, message + done, static_cast<size_t>(nCount));
        const int r = _ExeCmd(CMD_WRITE_SEAL_BUF, chunk, nCount + 1);
        if (r != EC_OK) return r;
        done += nCount;
    }
    return EC_OK;
}

int CSeal::readSealBuf(char* block, int& done, int& nCount, int& lenTemp)
{
    unsigned char index = 0;
    Reply reply;
    int r = _ExeCmd(CMD_READ_SEAL_BUF, &index, 1, &reply);
    if (r != EC_OK) return r;
    if (reply.dataLen < kSealLengthBytes) return EC_NO_VALID_REPLY;

    lenTemp = reply.data[0] | (reply.data[1] << 8);
    if (lenTemp == 0) return EC_OK;
    nCount = static_cast<int>(reply.dataLen - kSealLengthBytes);
    std::memcpy(block, reply.data + kSealLengthBytes, static_cast<size_t>(nCount));
    done = nCount;
    if (lenTemp <= done) return lenTemp == done ? EC_OK : EC_NO_VALID_REPLY;
    if (lenTemp > kMaxSealRead) return EC_NO_VALID_REPLY;

    while (done < lenTemp) {
        ++index;
        r = _ExeCmd(CMD_READ_SEAL_BUF, &index, 1, &reply);
        // A chunk without data would never finish the block.
        if (r != EC_OK || reply.dataLen == 0) return EC_NO_VALID_REPLY;
        nCount = std::min(static_cast<int>(reply.dataLen), lenTemp - done);
        std::memcpy(block + done, reply.data, static_cast<size_t>(nCount));
        done += nCount;
    }
    return done == lenTemp ? EC_OK : EC_NO_VALID_REPLY;
}

int CSeal::_ExeBuf(CMD_DEF cmd, const char* data, short len, char* block)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "ExeBuf cmd:%d", static_cast<int>(cmd));
    int done = 0, nCount = 0, lenTemp = 0;
    int result;
    if (cmd == CMD_WRITE_SEAL_BUF) {
        result = writeSealBuf(data, len, done, nCount, lenTemp);
    } else if (cmd == CMD_READ_SEAL_BUF && block) {
        std::memset(block, 0, kSealBlockBufferSize);
        result = readSealBuf(block, done, nCount, lenTemp);
    } else {
        result = EC_BACKUP_BOARD;
    }
    log.SetRet("return %d, i:%d, nCount:%d, lenTemp:%d", result, done, nCount, lenTemp);
    return result;
}

namespace {
#define MOTION_FORMAT                                                                          \
    "seal_deep:%d, seal_down_sleep:%d, seal_hold_sleep:%d, seal_oil_deep:%d, "                 \
    "seal_oil_side_pos:%d, seal_oil_row_pos:%d, seal_oil_hold_hight:%d, "                      \
    "seal_oil_down_sleep:%d, seal_oil_sleep:%d, seal_qf_deep:%d, seal_qf_cb_go:%d, "           \
    "seal_qf_cb_back_go:%d"

void traceMotion(const char* prefix, const int16_t (&v)[kMotionKeyCount])
{
    TrcWritef(kTraceInfo, "%s" MOTION_FORMAT, prefix, v[0], v[1], v[2], v[3], v[4], v[5], v[6],
              v[7], v[8], v[9], v[10], v[11]);
}
#undef MOTION_FORMAT
}  // namespace

int CSeal::ExeConfig()
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "CSeal::ExeConfig");
    const unsigned char which = 0;
    Reply reply;
    int result = _ExeCmd(CMD_GET_CONFIG, &which, 1, &reply);
    TrcWritef(kTraceInfo, "ExeConfig ret:%d, m_RLen:%d", result, static_cast<int>(reply.dataLen));

    // Writing back a block the machine sent only in part would overwrite its other values with
    // zeros, so the whole block must have arrived.
    if (result != EC_OK || reply.dataLen < kMotionBlockSize) {
        result = EC_FAIL;
    } else {
        unsigned char block[kMaxReplyData] = {};
        std::memcpy(block, reply.data, reply.dataLen);
        int16_t values[kMotionKeyCount];
        for (int i = 0; i < kMotionKeyCount; ++i) values[i] = bigEndian16(block + 2 * i);
        traceMotion("ExeConfig old ", values);

        bool configured = false;
        for (int i = 0; i < kMotionKeyCount; ++i) {
            const uint16_t v = m_config.motion[i];
            values[i] = static_cast<int16_t>(v);
            if (v == kMotionUnset) continue;
            block[2 * i] = static_cast<unsigned char>(v >> 8);
            block[2 * i + 1] = static_cast<unsigned char>(v & 0xFF);
            configured = true;
        }
        if (configured) {
            result = _ExeCmd(CMD_SET_CONFIG, block, static_cast<int>(kMotionBlockSize));
            traceMotion("ExeConfig new ", values);
        }
    }
    log.SetRet("Return:%d, m_RLen:%d", result, static_cast<int>(reply.dataLen));
    return result;
}

int CSeal::ExeHeart(CStampStatus* seen)
{
    Reply reply;
    // The status poll passes on either board.
    if (DoCommand(CMD_HEARTBEAT, nullptr, 0, reply, Board::Either) != EC_OK) {
        // No door is known to be open without a heartbeat that says so.
        const CStampStatus last = publishStatus(nullptr);
        if (seen) *seen = last;
        return EC_PORT_OPENFAIL;
    }
    const CStampStatus now = publishStatus(reply.statusBytes());
    if (seen) *seen = now;

    int result = EC_OK;
    if (now.warn_code1 & status::kWarn1TopCover) {
        result = EC_TOP_COVER_OPEN;
        // Disconnecting switches the light off, which polls again and sees the cover again:
        // that inner disconnect finds this one running and only closes the link.
        _disconnMachine();
    }
    LogMachineERR(now);
    return result;
}

bool CSeal::ReadFirmwareVersion(std::string& text)
{
    Reply reply;
    text.clear();
    if (_ExeCmd(CMD_GET_FIRMWARE_VER, nullptr, 0, &reply) != EC_OK) return false;
    text = reply.text(kFirmwareTextMax);
    return true;
}
