// The calibration record between the machine and the controller: its two block encodings, when
// the store reads it, what a download sends.

#include <algorithm>
#include <array>
#include <cstring>

#include "stampctl/calibration/blocks.h"
#include "stampctl/calibration/store.h"
#include "tests/support/sim_session.h"

using namespace stampctl;
using Entry = std::pair<short, short>;

namespace {

constexpr unsigned char kCalibCode = 0x12;   // base block, read and write
constexpr unsigned char kBlocksCode = 0x13;  // rotation block and bind information

std::array<uint8_t, 3> encoded(int x, int y)
{
    std::array<uint8_t, 3> b{};
    calibration::encodeRotation(x, y, b.data());
    return b;
}

using Record = test::Connected;

// The store on the simulated machine's link alone, without a controller.
class Store : public ::testing::Test {
protected:
    void SetUp() override
    {
        m.resetToDefault();
        ASSERT_GE(link.open(), 0);
        ASSERT_EQ(link.poll().code, EC_OK);  // the main board answers
    }
    VirtualClock clock;
    ScopedClock scoped{&clock};
    sim::SimMachine& m = sim::machine();
    link::Link link{sim::makeSimTransport()};
    calibration::Store store{link};
    bool fetched = false;
};

}  // namespace

TEST(RotationEncoding, SignAndElevenBitMagnitudeBothWays)
{
    EXPECT_EQ(encoded(-300, 45), (std::array<uint8_t, 3>{0x2C, 0x2D, 0x90}));
    EXPECT_EQ(encoded(999, -999), (std::array<uint8_t, 3>{0xE7, 0xE7, 0x3B}));
    EXPECT_EQ(encoded(0, 0), (std::array<uint8_t, 3>{0, 0, 0}));
    for (auto [x, y] : {std::pair{-300, 45}, {999, -999}, {2047, -2047}, {-1, 256}}) {
        short dx = 7, dy = 7;
        calibration::decodeRotation(encoded(x, y).data(), dx, dy);
        EXPECT_EQ(std::pair(int{dx}, int{dy}), std::pair(x, y));
    }
}

// The base block goes whole, the seals present recorded only after a successful download; read
// back, the long side comes first and every entry in record order.
TEST_F(Record, DownloadsSendWholeBlocksAndReadBackGivesEveryEntryInRecordOrder)
{
    unsigned char block[50] = {0x83, 0x07, 0xAC, 0x0A};  // 1923 x 2732
    block[20] = 0x55;                                    // beyond the ten bytes given: not sent
    ASSERT_EQ(DownLoadBaseJZ(block, 10, 0), EC_OK);
    const auto sent = s.frames().front();
    ASSERT_EQ(sent.size(), 5u + 3 + 50);
    EXPECT_TRUE(std::all_of(sent.begin() + 17, sent.end() - 1, [](unsigned char b) { return b == 0; }));
    EXPECT_EQ(s.commandsWithCode(0x02), 0u);  // no RFID read without saveRFID

    s.machine().setSlot(2, true, {1, 2, 3, 4});
    ASSERT_EQ(DownLoadBaseJZ(block, 50, 1), EC_OK);
    EXPECT_EQ(s.machine().bindInfo()[4], 1);

    // A refused download stays a failure and records nothing.
    s.machine().setSlot(2, true, {9, 9, 9, 9});
    s.refuse(kCalibCode);
    EXPECT_EQ(DownLoadBaseJZ(block, 50, 1), EC_FAIL);
    EXPECT_EQ(s.machine().bindInfo()[4], 1);

    // A4 sides, four circles, then seals 1 to 6 at 0 degrees, little-endian.
    const int16_t fields[22] = {1922, 2732, 100, 200, 1100, -200, 100, 2200, 1100, 2200, 150,
                                -50,  0,    0,   0,   0,    0,    0,   0,    0,    -7,   9};
    std::array<uint8_t, sim::kBaseBlockSize> base{};
    std::memcpy(base.data(), fields, sizeof fields);
    s.machine().setBaseBlock(base);
    short x[18] = {}, y[18] = {};
    x[5] = -300, y[5] = 45;  // seal 2 at 270 degrees
    x[17] = 999, y[17] = -999;
    ASSERT_EQ(DownLoadRotateJZ(x, y), EC_OK);

    short longSide = 0, shortSide = 0, cx[4], cy[4], ox[24], oy[24];
    ASSERT_EQ(GetAllJZInfo(&longSide, &shortSide, cx, cy, ox, oy), EC_OK);
    EXPECT_EQ(std::pair(longSide, shortSide), Entry(2732, 1922));
    EXPECT_EQ(std::vector<short>(cx, cx + 4), (std::vector<short>{100, 1100, 100, 1100}));
    EXPECT_EQ(std::vector<short>(cy, cy + 4), (std::vector<short>{200, -200, 2200, 2200}));
    EXPECT_EQ(std::pair(ox[0], oy[0]), Entry(150, -50));
    EXPECT_EQ(std::pair(ox[20], oy[20]), Entry(-7, 9));
    EXPECT_EQ(std::pair(ox[7], oy[7]), Entry(-300, 45));
    EXPECT_EQ(std::pair(ox[23], oy[23]), Entry(999, -999));
    EXPECT_EQ(std::count(ox, ox + 24, 0), 20);

    // Magnitudes beyond 11 bits would spill into the neighbouring fields: nothing is sent.
    y[4] = -2048;
    s.machine().clearLog();
    EXPECT_EQ(DownLoadRotateJZ(x, y), EC_BAD_PARAMETER);
    EXPECT_EQ(GetAllJZInfo(nullptr, &shortSide, cx, cy, ox, oy), EC_BAD_PARAMETER);
    EXPECT_TRUE(s.frames().empty());
}

TEST_F(Store, LoadedOnceAgainAfterAFailedRotationReadAndAfterEveryDownload)
{
    ASSERT_EQ(store.ensureLoaded(fetched), EC_OK);
    EXPECT_TRUE(fetched);
    m.clearLog();
    EXPECT_EQ(store.ensureLoaded(fetched), EC_OK);
    EXPECT_FALSE(fetched);
    EXPECT_TRUE(m.receivedFrames().empty());

    uint8_t rotations[calibration::kRotateBlockSize] = {};
    calibration::encodeRotation(120, 0, rotations);
    ASSERT_EQ(store.download(CMD_SET_ROTATE_POINTS, rotations, sizeof rotations), EC_OK);
    EXPECT_EQ(store.record().m_JZOffsetX[1], 120);
    store.forget();
    m.injectFault(sim::FaultSpec{sim::Fault::Refusal, 1, sim::FaultTarget::Any, kBlocksCode});
    EXPECT_EQ(store.ensureLoaded(fetched), EC_FAIL);
    // What came before the failed read is in the record, the rotated entries are not.
    EXPECT_EQ(store.record().m_JZCircle[1].x, 1933);
    EXPECT_EQ(store.record().m_JZOffsetX[1], 0);
    EXPECT_EQ(store.record().m_A4LongSide, 0);
    EXPECT_EQ(store.ensureLoaded(fetched), EC_OK);
    EXPECT_EQ(store.record().m_JZOffsetX[1], 120);

    const uint8_t base[calibration::kBaseBlockSize] = {0x83, 0x07, 0xAC, 0x0A};  // 1923 x 2732
    ASSERT_EQ(store.download(CMD_SET_BASE_POINTS, base, sizeof base), EC_OK);
    EXPECT_EQ(store.record().m_A4ShortSide, 1923);
}
