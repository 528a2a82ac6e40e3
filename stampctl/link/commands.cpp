// The command layer: one command per exchange, the seal information block in chunks, and the
// status poll that keeps the status record.
#include <algorithm>
#include <cstring>

#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/link/command_table.h"
#include "stampctl/link/frame.h"
#include "stampctl/link/link.h"

namespace stampctl::link {

namespace {
constexpr size_t kSealChunk = 56;       // block bytes per chunk
constexpr size_t kSealLengthBytes = 2;  // the block's little-endian length prefix
constexpr int kMaxSealWrite = 1022;     // the message, prefix included, fills 1024 at most
constexpr int kMaxSealRead = 1023;
}  // namespace

Link::Link(std::unique_ptr<UsbTransport> transport) : m_transport(std::move(transport))
{
    m_transport->SetPoint(kEndpointOut, kEndpointIn);
}

int Link::open()
{
    std::lock_guard<std::mutex> lock(m_exchangeLock);
    const int opened = m_transport->DevUsbOpen(kProductId, kVendorId);
    m_open = opened >= 0;
    return opened;
}

void Link::close()
{
    std::lock_guard<std::mutex> lock(m_exchangeLock);
    m_open = false;
    m_transport->DevUsbClose();
}

int Link::command(CMD_DEF cmd, const unsigned char* payload, int len, Reply& reply, Board board)
{
    unsigned char frame[kFrameBufferSize] = {};
    const CommandRow* row = commandRow(cmd);
    const size_t frameLen = row ? buildCommandFrame(*row, payload, len, frame) : 0;
    if (frameLen == 0) {
        reply = Reply{};  // the exchange clears it otherwise
        TrcWritef(kTraceError, "ExeCmd refused: cmd:%d, len:%d does not fit the command", static_cast<int>(cmd), len);
        return EC_BAD_PARAMETER;
    }
    // The heartbeat is how a refusal is explained, so it cannot be explained by one itself.
    if (cmd == CMD_HEARTBEAT) return exchange(frame, frameLen, reply, board);
    return exchangeExplained(frame, frameLen, reply, board);
}

int Link::execute(CMD_DEF cmd, const unsigned char* payload, int len, Reply* reply, Board board)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "ExeCmd cmd:%d, len:%d", static_cast<int>(cmd), len);
    Reply unused;
    const int result = command(cmd, payload, len, reply ? *reply : unused, board);
    log.SetRet("return %d", result);
    return result;
}

int Link::writeSealBlock(const char* data, short len, int& done, int& nCount, int& lenTemp)
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
        const int r = execute(CMD_WRITE_SEAL_BUF, chunk, nCount + 1);
        if (r != EC_OK) return r;
        done += nCount;
    }
    return EC_OK;
}

int Link::readSealBlock(char* block, int& done, int& nCount, int& lenTemp)
{
    unsigned char index = 0;
    Reply reply;
    int r = execute(CMD_READ_SEAL_BUF, &index, 1, &reply);
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
        r = execute(CMD_READ_SEAL_BUF, &index, 1, &reply);
        // A chunk without data would never finish the block.
        if (r != EC_OK || reply.dataLen == 0) return EC_NO_VALID_REPLY;
        nCount = std::min(static_cast<int>(reply.dataLen), lenTemp - done);
        std::memcpy(block + done, reply.data, static_cast<size_t>(nCount));
        done += nCount;
    }
    return done == lenTemp ? EC_OK : EC_NO_VALID_REPLY;
}

int Link::sealBlock(CMD_DEF cmd, const char* data, short len, char* block)
{
    TRC_LOGER log(TRC_LOGER::TRC_PROTOCOL, "ExeBuf cmd:%d", static_cast<int>(cmd));
    int done = 0, nCount = 0, lenTemp = 0;
    int result;
    if (cmd == CMD_WRITE_SEAL_BUF) {
        result = writeSealBlock(data, len, done, nCount, lenTemp);
    } else if (cmd == CMD_READ_SEAL_BUF && block) {
        std::memset(block, 0, kSealBlockBufferSize);
        result = readSealBlock(block, done, nCount, lenTemp);
    } else {
        result = EC_BACKUP_BOARD;
    }
    log.SetRet("return %d, i:%d, nCount:%d, lenTemp:%d", result, done, nCount, lenTemp);
    return result;
}

StatusPoll Link::poll()
{
    Reply reply;
    // The status poll passes on either board.
    if (command(CMD_HEARTBEAT, nullptr, 0, reply, Board::Either) != EC_OK) return {EC_PORT_OPENFAIL, publish(nullptr)};
    const CStampStatus now = publish(reply.statusBytes());
    if (m_observer) m_observer(now);
    status::logWarnings(now);
    return {EC_OK, now};
}

CStampStatus Link::publish(const uint8_t* bytes)
{
    std::lock_guard<std::mutex> lock(m_statusLock);
    if (!bytes) {
        m_status.m_iIsPaperOpen = 0;
        m_status.m_iIsBackDoorOpen = 0;
        return m_status;
    }
    m_status = status::fromBytes(bytes);
    m_mainBoard = status::fromMainBoard(m_status);
    return m_status;
}

CStampStatus Link::status() const
{
    std::lock_guard<std::mutex> lock(m_statusLock);
    return m_status;
}

void Link::markPaperDoorOpen()
{
    std::lock_guard<std::mutex> lock(m_statusLock);
    m_status.m_iIsPaperOpen = 1;
}

}  // namespace stampctl::link
