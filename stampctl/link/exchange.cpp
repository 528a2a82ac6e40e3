// One exchange with the machine: request out, one 64-byte reply in, validated, with retries.
#include <QMutexLocker>

#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/link/frame.h"
#include "stampctl/seal.h"

using namespace stampctl;
using namespace stampctl::link;

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
bool lengthFits(uint8_t length)
{
    return length >= kMinReplyLength && length <= kMaxReplyLength;
}

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

int CSeal::SendAndRcvHelp(unsigned char* req, unsigned long reqLen, unsigned char* reply,
                          unsigned long& replyLen)
{
    // The permission is taken by this exchange as it starts: a permission that another thread
    // grants while this one waits for the wire is left for that thread's exchange.
    const bool permitted = m_bSupportBB.exchange(false);
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "SendAndRcvHelp m_bZB:%d, m_bSupportBB:%d",
                  m_bZB.load() ? 1 : 0, permitted ? 1 : 0);
    m_bHostRefuse = false;
    QMutexLocker lock(&m_comLock);

    int result = EC_CRC_ERR;
    if (!m_bZB && !permitted) {
        result = EC_BACKUP_BOARD;
    } else if (!req || reqLen < kFrameOverhead || reqLen > kFrameBufferSize || !reply) {
        result = EC_FAIL;
    } else {
        req[reqLen - 1] = checksum(req, reqLen - 1);
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            int transferred = 0;
            if (m_usb->DevUsbWrite(req, static_cast<unsigned>(reqLen), transferred,
                                   kWriteTimeoutMs) != 0) {
                TrcWritef(kTraceError, "Com Write fail: %d", EC_DISCONNECTED);
                result = EC_DISCONNECTED;
                break;
            }
            traceFrame(req, reqLen);

            transferred = 0;
            const int rd = m_usb->DevUsbRead(reply, kPacketSize, transferred, kReadTimeoutMs);
            if (rd != 0 || transferred != static_cast<int>(kPacketSize)) {
                TrcWritef(kTraceError, "Com Read ERROR:%d, tmpLen:%d", EC_NO_VALID_REPLY, transferred);
                result = EC_NO_VALID_REPLY;
                break;
            }
            const uint8_t length = reply[kOffLength];
            replyLen = lengthFits(length) ? length + kFrameOverhead : kPacketSize;
            traceFrame(reply, replyLen);

            if (!isReplyKind(reply[kOffKind])) {
                m_bHostRefuse = true;
                TrcWritef(kTraceError, "Com host refuse:%d, readData[2]:%d", EC_NO_VALID_REPLY,
                          reply[kOffKind]);
                result = EC_NO_VALID_REPLY;
                break;
            }
            if (!lengthFits(length)) {
                TrcWritef(kTraceError, "Com reply length error:%d", length);
            } else if (validReply(req, reply, replyLen)) {
                result = EC_OK;
                break;
            }
            TrcWritef(kTraceError, "CheckCrc error bl:%d", 0);
            TrcWritef(kTraceError, "Com 校验码不对 :EC_CRC_ERR");
            result = EC_CRC_ERR;
        }
    }

    log.SetRet("Return:%d", result);
    return result;
}

int CSeal::SendAndRcv(unsigned char* req, unsigned long reqLen, unsigned char* reply,
                      unsigned long& replyLen)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "SendAndRcv m_bZB:%d, m_bSupportBB:%d",
                  m_bZB.load() ? 1 : 0, m_bSupportBB.load() ? 1 : 0);
    int result = SendAndRcvHelp(req, reqLen, reply, replyLen);
    if (result == EC_NO_VALID_REPLY && m_bHostRefuse) {
        // The exchange lock is free again: the heartbeat may take it.
        ExeHeart();
        result = GetMachineERR();
        TrcWritef(kTraceError, "Com host refuse:%d, readData[2]:%d", result,
                  reply ? reply[kOffKind] : 0);
    }
    log.SetRet("Return:%d", result);
    return result;
}
