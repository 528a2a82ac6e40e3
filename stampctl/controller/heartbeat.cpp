// The controller's side of the link: the command layer's operations under their own names, the
// heartbeat with what an open top cover obliges, and the motion parameters.
#include <cstring>

#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"
#include "stampctl/link/frame.h"
#include "stampctl/seal.h"

using namespace stampctl;
using namespace stampctl::link;

namespace {
constexpr size_t kMotionBlockSize = 50;
constexpr size_t kFirmwareTextMax = 100;

int16_t bigEndian16(const unsigned char* p) { return static_cast<int16_t>((p[0] << 8) | p[1]); }
}  // namespace

int CSeal::SendAndRcvHelp(unsigned char* req, unsigned long reqLen, Reply& reply, Board board)
{
    return m_link.exchange(req, reqLen, reply, board);
}

int CSeal::SendAndRcv(unsigned char* req, unsigned long reqLen, Reply& reply, Board board)
{
    return m_link.exchangeExplained(req, reqLen, reply, board);
}

int CSeal::DoCommand(CMD_DEF cmd, const unsigned char* payload, int len, Reply& reply, Board board)
{
    return m_link.command(cmd, payload, len, reply, board);
}

int CSeal::_ExeCmd(CMD_DEF cmd, const unsigned char* payload, int len, Reply* reply, Board board)
{
    return m_link.execute(cmd, payload, len, reply, board);
}

int CSeal::_ExeBuf(CMD_DEF cmd, const char* data, short len, char* block)
{
    return m_link.sealBlock(cmd, data, len, block);
}

namespace {
#define MOTION_FORMAT                                                                \
    "seal_deep:%d, seal_down_sleep:%d, seal_hold_sleep:%d, seal_oil_deep:%d, "       \
    "seal_oil_side_pos:%d, seal_oil_row_pos:%d, seal_oil_hold_hight:%d, "            \
    "seal_oil_down_sleep:%d, seal_oil_sleep:%d, seal_qf_deep:%d, seal_qf_cb_go:%d, " \
    "seal_qf_cb_back_go:%d"

void traceMotion(const char* prefix, const int16_t (&v)[kMotionKeyCount])
{
    TrcWritef(kTraceInfo, "%s" MOTION_FORMAT, prefix, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10],
              v[11]);
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
        const std::shared_ptr<const SealConfig> config = this->config();
        for (int i = 0; i < kMotionKeyCount; ++i) {
            const uint16_t v = config->motion[i];
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
    const StatusPoll poll = m_link.poll();
    if (seen) *seen = poll.status;
    if (poll.code != EC_OK) return EC_PORT_OPENFAIL;
    return coverOpen(poll.status) ? EC_TOP_COVER_OPEN : EC_OK;
}

bool CSeal::coverOpen(const CStampStatus& s) { return (s.warn_code1 & status::kWarn1TopCover) != 0; }

void CSeal::onStatusPolled(const CStampStatus& s)
{
    // Every poll (a refused command's explanation too) that sees the top cover open disconnects.
    // Disconnecting switches the light off after a poll of its own, which sees the cover again:
    // that inner disconnect finds this one running and only closes the link, so it never
    // recurses further.
    if (coverOpen(s)) _disconnMachine();
}

bool CSeal::ReadFirmwareVersion(std::string& text)
{
    Reply reply;
    text.clear();
    if (_ExeCmd(CMD_GET_FIRMWARE_VER, nullptr, 0, &reply) != EC_OK) return false;
    text = reply.text(kFirmwareTextMax);
    return true;
}
