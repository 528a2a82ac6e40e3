// How one exchange of the link, on the simulated transport without a controller, meets a
// misbehaving machine (retries, refusals, lost packets, bad lengths, the backup board's leave),
// and what it puts on the wire: frames byte for byte, chunked blocks, refused sizes.

#include <numeric>

#include "stampctl/link/link.h"
#include "tests/support/sim_session.h"

using namespace stampctl;
using sim::Fault;
using sim::FaultTarget;
using stampctl::test::Bytes;

namespace {

// The link after its first poll, which told it the main board answers.
class Exchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GE(link.open(), 0);
        ASSERT_EQ(poll(), EC_OK);
        s.machine().clearLog();
    }
    int poll() { return link.poll().code; }
    int queryId() { return link.execute(CMD_GET_MACHINE_ID, nullptr, 0, &reply); }
    size_t idRequests() const { return s.commandsWithCode(0x11); }
    int readBlock() { return link.sealBlock(CMD_READ_SEAL_BUF, nullptr, 0, sealBlock); }
    // What the last exchange handed back (after a failed one: nothing), and the seal block read.
    std::string replyData() { return reply.text(reply.dataLen); }
    std::string block(size_t n) { return std::string(sealBlock, n); }
    test::SimSession s;
    link::Link link{sim::makeSimTransport()};
    link::Reply reply;
    char sealBlock[link::Link::kSealBlockBufferSize] = {};
};
using Wire = Exchange;

TEST_F(Exchange, InvalidRepliesAreRetriedThreeTimesThenGiveCrcError)
{
    for (Fault f : {Fault::BadChecksum, Fault::WrongEcho, Fault::WrongKind}) {
        SCOPED_TRACE(static_cast<int>(f));
        s.machine().clearLog();
        s.inject(f, 2);
        EXPECT_EQ(queryId(), EC_OK);
        EXPECT_EQ(idRequests(), 3u);
        EXPECT_STREQ(replyData().c_str(), "SN-OV260-2026-000117");

        s.machine().clearLog();
        s.inject(f, 3);
        EXPECT_EQ(queryId(), EC_CRC_ERR);
        EXPECT_EQ(idRequests(), 3u);
        EXPECT_EQ(replyData(), "");
    }
}

TEST_F(Exchange, TransportFailuresEndTheExchangeWithoutRetryRefusalsAndBadLengthsFail)
{
    s.inject(Fault::ShortPacket, 1, FaultTarget::Command, 40);
    EXPECT_EQ(queryId(), EC_NO_VALID_REPLY);
    s.inject(Fault::ReadTimeout);
    const int64_t before = s.now();
    EXPECT_EQ(queryId(), EC_NO_VALID_REPLY);
    EXPECT_GE(s.now() - before, 2000);
    s.inject(Fault::WriteFailure);
    EXPECT_EQ(queryId(), EC_DISCONNECTED);

    EXPECT_EQ(idRequests(), 2u);  // the failed write never reached the machine
    EXPECT_EQ(s.heartbeats(), 0u);
    EXPECT_EQ(replyData(), "");

    // A refusal with a fault bit is link_test's; without one it is still a failure.
    s.inject(Fault::Refusal);
    EXPECT_EQ(queryId(), EC_FAIL);
    EXPECT_EQ(idRequests(), 3u);
    EXPECT_EQ(s.heartbeats(), 1u);
    s.inject(Fault::Refusal, 1, FaultTarget::Heartbeat);
    EXPECT_EQ(poll(), EC_PORT_OPENFAIL);

    // A length byte outside the packet is a malformed reply.
    // 2 leaves no room for the echo, 60 reaches past the 64-byte packet.
    for (int length : {0, 2, 60, 255}) {
        SCOPED_TRACE(length);
        s.machine().clearLog();
        s.inject(Fault::BogusLength, 3, FaultTarget::Command, length);
        EXPECT_EQ(queryId(), EC_CRC_ERR);
        EXPECT_EQ(idRequests(), 3u);
        EXPECT_EQ(replyData(), "");
    }
    s.inject(Fault::BogusLength, 3, FaultTarget::Heartbeat, 200);
    EXPECT_EQ(poll(), EC_PORT_OPENFAIL);
    // Nothing behind the packet is read, whatever its length byte claims: the trace shows the
    // 64 bytes of each of the three replies that claimed 60 ("XX " per byte, then ";").
    std::vector<size_t> traced;
    for (const std::string& line : test::traceBodies(s.base()))
        if (line.rfind("AA 55 83 3C ", 0) == 0) traced.push_back(line.size());
    EXPECT_EQ(traced, std::vector<size_t>(3, 64 * 3 + 1));
}

// The backup board's leave covers the retries of the one exchange given it, and not the next
// command: what only the main board serves stays off the wire.
TEST_F(Exchange, BackupBoardsLeaveLastsOneExchange)
{
    s.machine().setBoard(sim::Board::Backup);
    ASSERT_EQ(poll(), EC_OK);
    s.machine().clearLog();
    s.inject(Fault::BadChecksum, 2);
    EXPECT_EQ(link.execute(CMD_GET_MACHINE_NUM, nullptr, 0, nullptr, link::Board::Either), EC_OK);
    EXPECT_EQ(s.frames().size(), 3u);
    EXPECT_EQ(link.execute(CMD_GET_MACHINE_NUM), EC_BACKUP_BOARD);
    EXPECT_EQ(s.frames().size(), 3u);
}

TEST_F(Wire, ExactFramesAndChunkedBlocks)
{
    ASSERT_EQ(poll(), EC_OK);
    ASSERT_EQ(link.execute(CMD_LIGHT_ON), EC_OK);
    const unsigned char entry = 5, lockByte = 0x05;
    link.execute(CMD_GET_ALARM_LOG_ENTRY, &entry, 1);
    link.execute(CMD_LOCK_SEAL, &lockByte, 1);
    link.execute(CMD_UNLOCK_SEAL, &lockByte, 1);

    std::vector<Bytes> frames = s.frames();
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[0], (Bytes{0xAA, 0x55, 0x01, 0x00, 0x00}));
    EXPECT_EQ(frames[1], (Bytes{0xAA, 0x55, 0x02, 0x04, 0x60, 0x0D, 0x00, 0x01, 0x73}));
    frames.clear();
    for (const Bytes& f : s.frames())
        if (f[2] != 0x01) frames.push_back(f);  // a refused request brings a status poll along
    ASSERT_EQ(frames.size(), 4u);
    // The alarm entry announces four body bytes and carries three.
    const unsigned char sum = (0xAA + 0x55 + 0x03 + 0x04 + 0x60 + 0x26 + 0x05) & 0xFF;
    EXPECT_EQ(frames[1], (Bytes{0xAA, 0x55, 0x03, 0x04, 0x60, 0x26, 0x05, sum}));
    // Lock and unlock differ in nothing but the caller's byte.
    EXPECT_EQ(frames[2], (Bytes{0xAA, 0x55, 0x02, 0x04, 0x60, 0x23, 0x00, 0x05, 0x8D}));
    EXPECT_EQ(frames[3], frames[2]);

    // A block write of 90 bytes goes as two chunks and reads back.
    s.machine().clearLog();
    char data[90];
    for (int i = 0; i < 90; ++i) data[i] = static_cast<char>(i + 1);
    ASSERT_EQ(link.sealBlock(CMD_WRITE_SEAL_BUF, data, 90, nullptr), EC_OK);

    frames = s.frames();
    ASSERT_EQ(frames.size(), 2u);
    // Chunk 0: index, the length 90 little-endian, 54 data bytes. Chunk 1: index, 36 bytes.
    ASSERT_EQ(frames[0].size(), 4u + 2 + 1 + 56 + 1);
    EXPECT_EQ((Bytes(frames[0].begin() + 3, frames[0].begin() + 10)), (Bytes{59, 0x60, 0x13, 0x00, 90, 0x00, 1}));
    EXPECT_EQ(frames[0][62], 54);
    ASSERT_EQ(frames[1].size(), 4u + 2 + 1 + 36 + 1);
    EXPECT_EQ((Bytes(frames[1].begin() + 6, frames[1].begin() + 8)), (Bytes{0x01, 55}));
    EXPECT_EQ(frames[1][42], 90);

    ASSERT_EQ(s.machine().sealInfo().size(), 90u);
    ASSERT_EQ(readBlock(), EC_OK);
    EXPECT_EQ(block(90), std::string(data, 90));

    // Empty, long and oversized blocks.
    s.machine().setSealInfo({});
    EXPECT_EQ(readBlock(), EC_OK);
    EXPECT_EQ(block(1), std::string(1, '\0'));

    // Chunk indexes 2 and 3 look like the rotation and bind queries on the wire, so the
    // machine's block spans two chunks at most.
    std::vector<uint8_t> hundred(100);
    std::iota(hundred.begin(), hundred.end(), 0);
    s.machine().setSealInfo(hundred);
    ASSERT_EQ(readBlock(), EC_OK);
    EXPECT_EQ(block(100), std::string(hundred.begin(), hundred.end()));

    s.machine().setSealInfo(std::vector<uint8_t>(2000, 0x42));
    s.machine().clearLog();
    EXPECT_EQ(readBlock(), EC_NO_VALID_REPLY);
    EXPECT_EQ(s.frames().size(), 1u);  // the announced size alone ends it
}

TEST_F(Wire, SizesThatDoNotFitAreRefusedBeforeTheWire)
{
    unsigned char payload[300] = {};
    EXPECT_EQ(link.execute(CMD_SET_BIND_INFO, payload, 250), EC_BAD_PARAMETER);
    EXPECT_EQ(link.execute(CMD_SET_MACHINE_NUM, payload, 11), EC_BAD_PARAMETER);
    EXPECT_EQ(link.execute(CMD_SET_MACHINE_NUM, nullptr, 12), EC_BAD_PARAMETER);
    EXPECT_EQ(link.execute(CMD_STAMP, payload, 7), EC_BAD_PARAMETER);  // a stamp is 8 bytes

    std::vector<char> data(1100, 'x');
    EXPECT_EQ(link.sealBlock(CMD_WRITE_SEAL_BUF, data.data(), 1023, nullptr), EC_BAD_PARAMETER);
    EXPECT_EQ(link.sealBlock(CMD_WRITE_SEAL_BUF, data.data(), -2, nullptr), EC_BACKUP_BOARD);
    EXPECT_EQ(link.sealBlock(CMD_GET_CONFIG, data.data(), 10, nullptr), EC_BACKUP_BOARD);
    EXPECT_TRUE(s.frames().empty());

    // The largest block is not refused by the library (the machine may still refuse it).
    EXPECT_NE(link.sealBlock(CMD_WRITE_SEAL_BUF, data.data(), 1022, nullptr), EC_BAD_PARAMETER);
    const auto frames = s.frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ((Bytes(frames[0].begin() + 7, frames[0].begin() + 9)), (Bytes{0xFE, 0x03}));
}

}  // namespace
