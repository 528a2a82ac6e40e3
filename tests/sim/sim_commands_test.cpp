// What the commands change in the machine and what they read back.
#include "stampctl/frame/clock.h"
#include "sim_wire.h"

namespace stampctl::sim::test {
namespace {

TEST(SimIdentity, TextFieldsAreStoredUpToTheirFirstZeroAndReadBackTerminated)
{
    SimMachine m;
    struct Field {
        unsigned char code;
        size_t size;
        std::string (SimMachine::*get)() const;
    };
    const Field fields[] = {{0x01, 12, &SimMachine::machineNum},
                            {0x0A, 16, &SimMachine::machineType},
                            {0x11, 20, &SimMachine::machineId},
                            {0x0C, 50, &SimMachine::securityCode}};
    for (const Field& f : fields) {
        const std::string full(f.size, 'Q');  // exactly the field: no terminator on the wire
        accepted(m, set(f.code, afterZero(text(full, f.size))));
        EXPECT_EQ((m.*f.get)(), full);
        const Reply r = accepted(m, query(f.code));
        EXPECT_EQ(r.text(), full);
        EXPECT_EQ(r.data().back(), 0);

        accepted(m, set(f.code, afterZero(text("ab", f.size))));
        EXPECT_EQ(accepted(m, query(f.code)).data(), (Bytes{'a', 'b', 0})) << int(f.code);
        accepted(m, set(f.code, Bytes(f.size + 1, 0)));  // all zero: cleared
        EXPECT_EQ(accepted(m, query(f.code)).data(), Bytes{0});
    }
}

TEST(SimIdentity, FirmwareModeOutOfRangeIsRefusedButCanBeScripted)
{
    SimMachine m;
    accepted(m, set(0x31, {0x00, 0x01}));
    EXPECT_TRUE(transact(m, set(0x31, {0x00, 0x03})).refused());
    EXPECT_EQ(accepted(m, query(0x31)).data(), Bytes{1});
    m.setFirmwareMode(3);  // for the host to cope with
    EXPECT_EQ(accepted(m, query(0x31)).data(), Bytes{3});
}

TEST(SimBlocks, MotionAndCalibrationBlocksReadFiftyBytesAndAreReplacedWhole)
{
    SimMachine m;
    const Bytes base = accepted(m, query(0x12)).data();
    EXPECT_EQ(base[2] | (base[3] << 8), 2732);  // A4 long side, little-endian
    for (unsigned char code : {0x0E, 0x12}) {
        Bytes block = accepted(m, query(code)).data();
        ASSERT_EQ(block.size(), 50u);
        block[0] = 0xFF;
        block[1] = 0xFE;
        accepted(m, set(code, afterZero(block)));
        EXPECT_EQ(accepted(m, query(code)).data(), block);
        Bytes shortBlock(block.begin(), block.end() - 1);  // 49 bytes: refused, nothing written
        EXPECT_TRUE(transact(m, set(code, afterZero(shortBlock))).refused());
        EXPECT_EQ(accepted(m, query(code)).data(), block);
    }
    EXPECT_EQ(m.motionParam(0), -2);  // signed, big-endian
}

TEST(SimBlocks, SealInfoWrittenInTwoChunksReadsBackAsWritten)
{
    SimMachine m;
    Bytes data(90);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>('a' + i % 26);
    Bytes message{90, 0};
    message.insert(message.end(), data.begin(), data.end());
    Bytes chunk0{0x00};
    chunk0.insert(chunk0.end(), message.begin(), message.begin() + 56);
    Bytes chunk1{0x01};
    chunk1.insert(chunk1.end(), message.begin() + 56, message.end());

    accepted(m, set(0x13, chunk0));
    EXPECT_TRUE(m.sealInfo().empty());  // not complete yet
    accepted(m, set(0x13, chunk1));
    EXPECT_EQ(m.sealInfo(), Bytes(data.begin(), data.end()));

    const Bytes first = accepted(m, query(0x13, {0x00})).data();
    ASSERT_EQ(first.size(), 56u);
    EXPECT_EQ(first[0] | (first[1] << 8), 90);
    EXPECT_EQ(Bytes(first.begin() + 2, first.end()), Bytes(data.begin(), data.begin() + 54));
    EXPECT_EQ(accepted(m, query(0x13, {0x01})).data(), Bytes(data.begin() + 54, data.end()));
    EXPECT_TRUE(transact(m, query(0x13, {0x04})).refused());  // nothing there
}

TEST(SimBlocks, SealInfoChunksOutOfOrderOrTooLongAreRefused)
{
    SimMachine m;
    m.setSealInfo({'k', 'e', 'e', 'p'});
    EXPECT_TRUE(transact(m, set(0x13, {0x01, 'x'})).refused());  // chunk 1 without chunk 0
    Bytes huge{0x00, 111, 0};                                      // 111 bytes: beyond the block
    huge.resize(57, 'z');
    EXPECT_TRUE(transact(m, set(0x13, huge)).refused());
    EXPECT_EQ(m.sealInfo(), (Bytes{'k', 'e', 'e', 'p'}));

    accepted(m, set(0x13, {0x00, 0x00, 0x00}));  // an empty block
    EXPECT_TRUE(m.sealInfo().empty());
    EXPECT_EQ(accepted(m, query(0x13, {0x00})).data(), (Bytes{0, 0}));
}

TEST(SimBlocks, SubCodesTwoAndThreeAreRotationAndBindInformation)
{
    SimMachine m;
    Bytes rotation{0x02};
    for (int i = 0; i < 54; ++i) rotation.push_back(static_cast<unsigned char>(i));
    accepted(m, set(0x13, rotation));
    EXPECT_EQ(accepted(m, query(0x13, {0x02})).data(), Bytes(rotation.begin() + 1, rotation.end()));
    EXPECT_TRUE(transact(m, set(0x13, Bytes(rotation.begin(), rotation.end() - 1))).refused());

    const auto factory = m.bindInfo();
    Bytes partial{0x03};  // 24 bytes: only the identities recorded at calibration
    partial.resize(25, 0x77);
    accepted(m, set(0x13, partial));
    const Bytes bind = accepted(m, query(0x13, {0x03})).data();
    ASSERT_EQ(bind.size(), 49u);
    EXPECT_EQ(bind[23], 0x77);
    EXPECT_EQ(Bytes(bind.begin() + 24, bind.end()), Bytes(factory.begin() + 24, factory.end()));
}

TEST(SimSeals, SlotMaskAndRfidBlockFollowTheSeals)
{
    SimMachine m;
    EXPECT_EQ(accepted(m, query(0x0F)).data(), Bytes{0x3F});
    for (int n : {2, 4, 5}) m.setSlot(n, false);
    m.setSlot(1, true, {0x0A, 0x1B, 0x2C, 0x3D});
    EXPECT_EQ(accepted(m, query(0x0F)).data(), Bytes{0x25});
    const Bytes tags = accepted(m, query(0x02, {0x00})).data();
    ASSERT_EQ(tags.size(), 24u);
    EXPECT_EQ(Bytes(tags.begin(), tags.begin() + 4), (Bytes{0x0A, 0x1B, 0x2C, 0x3D}));
    EXPECT_EQ(Bytes(tags.begin() + 4, tags.begin() + 8), Bytes(4, 0));  // empty slot 2
    EXPECT_NE(Bytes(tags.begin() + 8, tags.begin() + 12), Bytes(4, 0));
}

TEST(SimLogs, AlarmLogCountEntriesAndDeletion)
{
    SimMachine m;
    EXPECT_EQ(accepted(m, query(0x25)).data(), Bytes{0});
    m.setAlarmLog({"2026-01-01 搬动报警", "B", "C"});
    EXPECT_EQ(accepted(m, query(0x25)).data(), Bytes{3});
    EXPECT_EQ(accepted(m, query(0x26, {0x00})).text(), "2026-01-01 搬动报警");
    EXPECT_TRUE(transact(m, query(0x26, {0x03})).refused());
    accepted(m, query(0x27));
    EXPECT_TRUE(m.alarmLog().empty());
}

Bytes abnormalOpening(const std::string& reason)
{
    Bytes args{0x0A};
    const Bytes t = text(reason, 52);
    args.insert(args.end(), t.begin(), t.end());
    return set(0x07, args);
}

TEST(SimLogs, AbnormalOpeningRecordsItsReasonAndOpensTheSideDoor)
{
    SimMachine m;
    accepted(m, abnormalOpening("钥匙丢失"));
    EXPECT_TRUE(m.doorOpen(Door::Side));
    EXPECT_EQ(accepted(m, kHeartbeat).packet[6] & kDoorSideOpen, kDoorSideOpen);
    accepted(m, abnormalOpening(std::string(52, 'r')));  // a full reason, no terminator
    EXPECT_EQ(accepted(m, query(0x07, {0x00, 0x00})).data(), Bytes{2});
    EXPECT_EQ(accepted(m, query(0x07, {0x01, 0x00})).data(), text("钥匙丢失", 12));
    EXPECT_EQ(accepted(m, query(0x07, {0x02, 0x00})).data(), Bytes(52, 'r'));
    EXPECT_TRUE(transact(m, query(0x07, {0x03, 0x00})).refused());
    accepted(m, set(0x07, {0x00, 0x00}));
    EXPECT_TRUE(m.abnormalRecords().empty());
}

TEST(SimLogs, FullRecordStoreRefusesOpeningsAndRaisesItsWarning)
{
    SimMachine m;
    m.update([](MachineState& s) { s.abnormalCapacity = 12; });
    m.setAbnormalRecords(std::vector<std::string>(12, "x"));
    EXPECT_TRUE(transact(m, abnormalOpening("why")).refused());
    EXPECT_FALSE(m.doorOpen(Door::Side));
    EXPECT_EQ(accepted(m, kHeartbeat).packet[8] & kWarn2RecordsFull, kWarn2RecordsFull);
    // The count reports all twelve; which ones to read is the host's business.
    EXPECT_EQ(accepted(m, query(0x07, {0x00, 0x00})).data(), Bytes{12});
    accepted(m, set(0x07, {0x00, 0x00}));
    EXPECT_EQ(accepted(m, kHeartbeat).packet[8] & kWarn2RecordsFull, 0);
}

TEST(SimDoors, OpenedDoorsFallShutAfterTheirTimeInSeconds)
{
    VirtualClock clk;
    ScopedClock use(&clk);
    SimMachine m;
    accepted(m, set(0x06, {0x00, 0x01, 0x1E, 0x00}));  // paper door, 30 s
    accepted(m, set(0x08, {0x00, 0x01, 0x2C, 0x01}));  // side door, 300 s
    EXPECT_EQ(m.door(Door::Side).lastOpenTime, 300);
    EXPECT_EQ(accepted(m, kHeartbeat).packet[6], kDoorPaperOpen | kDoorSideOpen);
    clk.advance(30000);
    EXPECT_EQ(accepted(m, kHeartbeat).packet[6], kDoorSideOpen);
    clk.advance(270000);
    EXPECT_EQ(accepted(m, kHeartbeat).packet[6], 0);
    EXPECT_TRUE(transact(m, set(0x06, {0x00, 0x00, 0x1E, 0x00})).refused());  // not "open"

    m.setDoorOpen(Door::Paper, true);  // a scripted door stays as it is
    clk.advance(1000000);
    EXPECT_TRUE(m.doorOpen(Door::Paper));
}

}  // namespace
}  // namespace stampctl::sim::test
