// What the library puts on the wire: frames byte for byte, chunked blocks, refused sizes.
#include <gtest/gtest.h>

#include <numeric>

#include "stampctl/frame/result_codes.h"
#include "tests/support/sim_session.h"

using namespace stampctl;
using stampctl::test::Bytes;

namespace {

class Wire : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(s.connect(), EC_OK); }
    test::SimSession s;
};

TEST_F(Wire, HeartbeatAndLightOnAreExactFramesAndTracedAsHex)
{
    ASSERT_EQ(s.seal().ExeHeart(), EC_OK);
    ASSERT_EQ(s.seal()._ExeCmd(CMD_LIGHT_ON), EC_OK);

    const auto frames = s.frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], (Bytes{0xAA, 0x55, 0x01, 0x00, 0x00}));
    EXPECT_EQ(frames[1], (Bytes{0xAA, 0x55, 0x02, 0x04, 0x60, 0x0D, 0x00, 0x01, 0x73}));
    EXPECT_TRUE(s.traced("AA 55 01 00 00 ;"));
    EXPECT_TRUE(s.traced("AA 55 02 04 60 0D 00 01 73 ;"));
    EXPECT_TRUE(s.machine().lightOn());
}

TEST_F(Wire, IrregularRowsAreSentAsTheMachineExpects)
{
    const unsigned char entry = 5;
    s.seal()._ExeCmd(CMD_GET_ALARM_LOG_ENTRY, &entry, 1);
    const unsigned char lockByte = 0x05;
    s.seal()._ExeCmd(CMD_LOCK_SEAL, &lockByte, 1);
    s.seal()._ExeCmd(CMD_UNLOCK_SEAL, &lockByte, 1);

    std::vector<Bytes> frames;
    for (const Bytes& f : s.frames())
        if (f[2] != 0x01) frames.push_back(f);  // a refused request brings a status poll along
    ASSERT_EQ(frames.size(), 3u);
    const unsigned char sum = (0xAA + 0x55 + 0x03 + 0x04 + 0x60 + 0x26 + 0x05) & 0xFF;
    EXPECT_EQ(frames[0], (Bytes{0xAA, 0x55, 0x03, 0x04, 0x60, 0x26, 0x05, sum}));
    // Lock and unlock differ in nothing but the caller's byte.
    EXPECT_EQ(frames[1], (Bytes{0xAA, 0x55, 0x02, 0x04, 0x60, 0x23, 0x00, 0x05, 0x8D}));
    EXPECT_EQ(frames[2], frames[1]);
}

TEST_F(Wire, BlockWriteOf90BytesGoesAsTwoChunksAndReadsBack)
{
    char data[90];
    for (int i = 0; i < 90; ++i) data[i] = static_cast<char>(i + 1);
    ASSERT_EQ(s.seal()._ExeBuf(CMD_WRITE_SEAL_BUF, data, 90), EC_OK);

    const auto frames = s.frames();
    ASSERT_EQ(frames.size(), 2u);
    // Chunk 0: index, the length 90 little-endian, 54 data bytes. Chunk 1: index, 36 bytes.
    ASSERT_EQ(frames[0].size(), 4u + 2 + 1 + 56 + 1);
    EXPECT_EQ(frames[0][3], 2 + 1 + 56);
    EXPECT_EQ((Bytes(frames[0].begin() + 4, frames[0].begin() + 9)),
              (Bytes{0x60, 0x13, 0x00, 90, 0x00}));
    EXPECT_EQ(frames[0][9], 1);
    EXPECT_EQ(frames[0][62], 54);
    ASSERT_EQ(frames[1].size(), 4u + 2 + 1 + 36 + 1);
    EXPECT_EQ(frames[1][6], 0x01);
    EXPECT_EQ(frames[1][7], 55);
    EXPECT_EQ(frames[1][42], 90);

    ASSERT_EQ(s.machine().sealInfo().size(), 90u);
    ASSERT_EQ(s.seal()._ExeBuf(CMD_READ_SEAL_BUF, nullptr, 0), EC_OK);
    EXPECT_EQ(std::string(s.seal().bufInfo(), 90), std::string(data, 90));
}

TEST_F(Wire, BlockReadsOfEmptyLongAndOversizedBlocks)
{
    s.machine().setSealInfo({});
    EXPECT_EQ(s.seal()._ExeBuf(CMD_READ_SEAL_BUF, nullptr, 0), EC_OK);
    EXPECT_EQ(s.seal().bufInfo()[0], 0);

    // Chunk indexes 2 and 3 look like the rotation and bind queries on the wire, so the
    // machine's block spans two chunks at most.
    std::vector<uint8_t> block(100);
    std::iota(block.begin(), block.end(), 0);
    s.machine().setSealInfo(block);
    ASSERT_EQ(s.seal()._ExeBuf(CMD_READ_SEAL_BUF, nullptr, 0), EC_OK);
    EXPECT_EQ(std::vector<uint8_t>(s.seal().bufInfo(), s.seal().bufInfo() + 100), block);

    s.machine().setSealInfo(std::vector<uint8_t>(2000, 0x42));
    s.machine().clearLog();
    EXPECT_EQ(s.seal()._ExeBuf(CMD_READ_SEAL_BUF, nullptr, 0), EC_COMM_401);
    EXPECT_EQ(s.frames().size(), 1u);  // the announced size alone ends it
}

TEST_F(Wire, SizesThatDoNotFitAreRefusedBeforeTheWire)
{
    unsigned char payload[300] = {};
    EXPECT_EQ(s.seal()._ExeCmd(CMD_SET_BIND_INFO, payload, 250), EC_PARAM);
    EXPECT_EQ(s.seal()._ExeCmd(CMD_SET_MACHINE_NUM, payload, 11), EC_PARAM);
    EXPECT_EQ(s.seal()._ExeCmd(CMD_SET_MACHINE_NUM, nullptr, 12), EC_PARAM);
    EXPECT_EQ(s.seal()._ExeCmd(CMD_HEARTBEAT), EC_PARAM);

    std::vector<char> block(1100, 'x');
    EXPECT_EQ(s.seal()._ExeBuf(CMD_WRITE_SEAL_BUF, block.data(), 1023), EC_PARAM);
    EXPECT_EQ(s.seal()._ExeBuf(CMD_WRITE_SEAL_BUF, block.data(), -2), EC_BACKUP_BOARD);
    EXPECT_EQ(s.seal()._ExeBuf(CMD_GET_CONFIG, block.data(), 10), EC_BACKUP_BOARD);
    EXPECT_TRUE(s.frames().empty());

    // The largest block is not refused by the library (the machine may still refuse it).
    EXPECT_NE(s.seal()._ExeBuf(CMD_WRITE_SEAL_BUF, block.data(), 1022), EC_PARAM);
    ASSERT_FALSE(s.frames().empty());
    EXPECT_EQ(s.frames()[0][7], 0xFE);
    EXPECT_EQ(s.frames()[0][8], 0x03);
}

}  // namespace
