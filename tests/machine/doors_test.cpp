// Doors, alarms and seal locks against the simulated machine: what goes on the wire, the door
// states on the clock, the abnormal opening and which board serves what.

#include "stampctl/sim/handling.h"
#include "tests/support/sim_session.h"

using namespace stampctl;
using sim::Door;
using test::Bytes;

namespace {

constexpr unsigned char kPaperDoorCode = 0x06, kBackDoorCode = 0x08, kAbnormalCode = 0x07;
constexpr size_t kOffPayload = 7;  // after AA 55 kind L 60 code sub

class Doors : public test::Connected {
protected:
    Bytes doorPayload(unsigned char code) const
    {
        const Bytes f = s.lastCommand(code);
        return f.size() < kOffPayload + 3 ? f : Bytes(f.begin() + kOffPayload, f.begin() + kOffPayload + 3);
    }
};

TEST_F(Doors, OpenTimesTravelLittleEndianAfterTheOpenByte)
{
    EXPECT_EQ(openPaperDoor(), EC_OK);
    EXPECT_EQ(doorPayload(kPaperDoorCode), (Bytes{0x01, 0x1E, 0x00}));
    EXPECT_EQ(openPaperDoorEx(300), EC_OK);
    EXPECT_EQ(doorPayload(kPaperDoorCode), (Bytes{0x01, 0x2C, 0x01}));
    EXPECT_EQ(openMachineBackDoorEx(65535), EC_OK);  // the largest time the field carries
    EXPECT_EQ(doorPayload(kBackDoorCode), (Bytes{0x01, 0xFF, 0xFF}));
    EXPECT_EQ(openMachineBackDoor(), EC_OK);
    EXPECT_EQ(doorPayload(kBackDoorCode), (Bytes{0x01, 0x78, 0x00}));
    EXPECT_EQ(s.machine().door(Door::Side).lastOpenTime, 120);

    // A time the 16-bit field would wrap round is refused before anything is sent.
    s.machine().clearLog();
    EXPECT_EQ(openPaperDoorEx(65536), EC_BAD_PARAMETER);
    EXPECT_EQ(openMachineBackDoorEx(-1), EC_BAD_PARAMETER);
    EXPECT_TRUE(s.frames().empty());
}

TEST_F(Doors, PaperDoorStateAbnormalOpeningAndSealLocks)
{
    s.writeFile("ywb.ini", "[OV_STAMP]\nclose_paper_door_sleep=1500\n");
    ASSERT_EQ(s.connect(), EC_OK);
    ASSERT_EQ(openPaperDoor(), EC_OK);
    int64_t start = s.now();
    EXPECT_EQ(checkPaperDoorState(), 1);
    EXPECT_LT(s.now() - start, 100);

    s.clock().advance(30000);  // the machine lets it fall shut after its 30 s
    start = s.now();
    EXPECT_EQ(checkPaperDoorState(), 2);
    EXPECT_GE(s.now() - start, 1500);
    EXPECT_LT(s.now() - start, 1600);

    // A faulty door mechanism wins over what the door flag says; each door has its own bit.
    s.machine().setDoorOpen(Door::Paper, true);
    sim::setDoorFault(s.machine(), Door::Paper, true);
    EXPECT_EQ(checkPaperDoorState(), EC_PAPER_DOOR_FAULT);
    EXPECT_EQ(checkBackDoorState(), 2);
    ASSERT_EQ(openMachineBackDoor(), EC_OK);
    EXPECT_EQ(checkBackDoorState(), 1);
    sim::setDoorFault(s.machine(), Door::Side, true);
    EXPECT_EQ(checkBackDoorState(), EC_BACK_DOOR_FAULT);

    // An abnormal opening sends up to 52 bytes of reason while there is room for the record.
    s.machine().clearLog();
    EXPECT_EQ(openMachineBackDoorUnNormal(""), EC_OPEN_REASON_MISSING);
    EXPECT_EQ(openMachineBackDoorUnNormal(std::string(53, 'x').c_str()), EC_OPEN_REASON_TOO_LONG);
    EXPECT_TRUE(s.frames().empty());

    const std::string full(52, 'r');
    EXPECT_EQ(openMachineBackDoorUnNormal(full.c_str()), EC_OK);
    const Bytes f = s.lastCommand(kAbnormalCode);
    ASSERT_EQ(f.size(), kOffPayload + 52 + 1);
    EXPECT_EQ(std::string(f.begin() + kOffPayload, f.end() - 1), full);
    EXPECT_EQ(openMachineBackDoorUnNormalForProduct("钥匙遗失"), EC_OK);
    EXPECT_EQ(s.machine().abnormalRecords(), (std::vector<std::string>{full, "钥匙遗失"}));
    EXPECT_TRUE(s.machine().doorOpen(Door::Side));

    s.machine().update([](sim::MachineState& m) { m.abnormalCapacity = 2; });
    EXPECT_EQ(openMachineBackDoorUnNormal("three"), EC_UNNORMAL_OPEN_LIMIT);

    // Seal locks send the caller's byte (the frames themselves are pinned in exchange_test).
    const char seals2and5 = 0x12;
    EXPECT_EQ(lockSeal(&seals2and5), EC_OK);
    EXPECT_EQ(s.machine().sealLockByte(), 0x12);
}

}  // namespace
