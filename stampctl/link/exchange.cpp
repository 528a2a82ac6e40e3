// One exchange with the machine: request out, one 64-byte reply in, validated, with retries.
#include <cstring>

#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/link/frame.h"
#include "stampctl/link/link.h"

namespace stampctl::link {

namespace {

void traceFrame(const unsigned char* bytes, size_t count)
{
    char line[3 * kFrameBufferSize + 2];
    if (count > kFrameBufferSize) count = kFrameBufferSize;
    hexLine(bytes, count, line);
    TrcWritef(kTraceInfo, "%s", line);
}

bool isReplyKind(uint8_t kind)
{
    return kind >= (kReplyKindFlag | kKindHeartbeat) && kind <= (kReplyKindFlag | kKindQuery);
}

// A length byte that leaves no room for the command echo or points past the packet cannot be
// trusted to measure anything: the reply is treated like one with a wrong checksum.
bool lengthFits(uint8_t length) { return length >= kMinReplyLength && length <= kMaxReplyLength; }

bool validReply(const unsigned char* req, const unsigned char* reply, size_t replyLen)
{
    if (checksum(reply, replyLen - 1) != reply[replyLen - 1]) return false;
    const uint8_t kind = req[kOffKind];
    if (kind != kKindHeartbeat && kind != kKindSet && kind != kKindQuery) return false;
    if (reply[kOffKind] != (kReplyKindFlag | kind)) return false;
    if (kind == kKindHeartbeat) return true;
    return reply[kOffBody] == req[kOffBody] && reply[kOffCommand] == req[kOffCommand];
}

}  // namespace

int Link::exchange(unsigned char* req, unsigned long reqLen, Reply& reply, Board board)
{
    const bool permitted = board == Board::Either;
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "SendAndRcvHelp m_bZB:%d, m_bSupportBB:%d", m_mainBoard.load() ? 1 : 0,
                  permitted ? 1 : 0);
    reply = Reply{};
    std::lock_guard<std::mutex> lock(m_exchangeLock);

    int result = EC_CRC_ERR;
    if (!m_mainBoard && !permitted) {
        result = EC_BACKUP_BOARD;
    } else if (!req || reqLen < kFrameOverhead || reqLen > kFrameBufferSize) {
        result = EC_FAIL;
    } else {
        req[reqLen - 1] = checksum(req, reqLen - 1);
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            int transferred = 0;
            if (m_transport->DevUsbWrite(req, static_cast<unsigned>(reqLen), transferred, kWriteTimeoutMs) != 0) {
                TrcWritef(kTraceError, "Com Write fail: %d", EC_DISCONNECTED);
                result = EC_DISCONNECTED;
                break;
            }
            traceFrame(req, reqLen);

            transferred = 0;
            unsigned char* packet = reply.frame;
            const int rd = m_transport->DevUsbRead(packet, kPacketSize, transferred, kReadTimeoutMs);
            if (rd != 0 || transferred != static_cast<int>(kPacketSize)) {
                TrcWritef(kTraceError, "Com Read ERROR:%d, tmpLen:%d", EC_NO_VALID_REPLY, transferred);
                result = EC_NO_VALID_REPLY;
                break;
            }
            const uint8_t length = packet[kOffLength];
            reply.frameLen = lengthFits(length) ? length + kFrameOverhead : kPacketSize;
            traceFrame(packet, reply.frameLen);

            if (!isReplyKind(packet[kOffKind])) {
                reply.refused = true;
                TrcWritef(kTraceError, "Com host refuse:%d, readData[2]:%d", EC_NO_VALID_REPLY, packet[kOffKind]);
                result = EC_NO_VALID_REPLY;
                break;
            }
            if (!lengthFits(length)) {
                TrcWritef(kTraceError, "Com reply length error:%d", length);
            } else if (validReply(req, packet, reply.frameLen)) {
                result = EC_OK;
                break;
            }
            TrcWritef(kTraceError, "CheckCrc error bl:%d", 0);
            TrcWritef(kTraceError, "Com 校验码不对 :EC_CRC_ERR");
            result = EC_CRC_ERR;
        }
    }
    if (result == EC_OK) {
        // The length byte is 3 to 59 here, so this is 0 to 56 bytes.
        reply.dataLen = reply.frameLen > kReplyDataOverhead ? reply.frameLen - kReplyDataOverhead : 0;
        std::memcpy(reply.data, reply.frame + kOffReplyData, reply.dataLen);
    }

    log.SetRet("Return:%d", result);
    return result;
}

int Link::exchangeExplained(unsigned char* req, unsigned long reqLen, Reply& reply, Board board)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "SendAndRcv m_bZB:%d, m_bSupportBB:%d", m_mainBoard.load() ? 1 : 0,
                  board == Board::Either ? 1 : 0);
    int result = exchange(req, reqLen, reply, board);
    if (result == EC_NO_VALID_REPLY && reply.refused) {
        // The exchange lock is free again: the poll may take it.
        result = status::machineError(poll().status);
        TrcWritef(kTraceError, "Com host refuse:%d, readData[2]:%d", result, reply.frame[kOffKind]);
    }
    log.SetRet("Return:%d", result);
    return result;
}

}  // namespace stampctl::link
