// How one exchange meets a misbehaving machine: retries, refusals, lost packets, bad lengths,
// and the gate in front of the backup board.
#include <gtest/gtest.h>

#include "stampctl/frame/result_codes.h"
#include "tests/support/sim_session.h"

using namespace stampctl;
using sim::Fault;
using sim::FaultTarget;

namespace {

class Exchange : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(s.connect(), EC_OK); }
    int queryId() { return s.seal()._ExeCmd(CMD_GET_MACHINE_ID); }
    size_t idRequests() const { return s.commandsWithCode(0x11); }
    void inject(Fault f, int times, FaultTarget target = FaultTarget::Command, int value = 0)
    {
        sim::FaultSpec spec;
        spec.fault = f;
        spec.times = times;
        spec.target = target;
        spec.value = value;
        s.machine().injectFault(spec);
    }
    // After a failed exchange the reply data are empty, whatever arrived.
    void expectNoReplyData()
    {
        EXPECT_EQ(s.seal().replyDataLen(), 56u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.seal().replyData()), 56),
                  std::string(56, '\0'));
    }
    test::SimSession s;
};

TEST_F(Exchange, InvalidRepliesAreRetriedThreeTimesThenGiveCrcError)
{
    for (Fault f : {Fault::BadChecksum, Fault::WrongEcho, Fault::WrongKind}) {
        SCOPED_TRACE(static_cast<int>(f));
        s.machine().clearLog();
        inject(f, 2);
        EXPECT_EQ(queryId(), EC_OK);
        EXPECT_EQ(idRequests(), 3u);
        EXPECT_STREQ(reinterpret_cast<const char*>(s.seal().replyData()), "SN-OV260-2026-000117");

        s.machine().clearLog();
        inject(f, 3);
        EXPECT_EQ(queryId(), EC_CRC_ERR);
        EXPECT_EQ(idRequests(), 3u);
        expectNoReplyData();
    }
    EXPECT_EQ(s.tracedCount("Com 校验码不对 :EC_CRC_ERR"), 3u * (2 + 3));
    // Every attempt leaves its request line in the trace.
    EXPECT_EQ(s.tracedCount("AA 55 03 03 60 11 00 76 ;"), 3u * (3 + 3));
}

TEST_F(Exchange, TransportFailuresEndTheExchangeWithoutRetry)
{
    inject(Fault::ShortPacket, 1, FaultTarget::Command, 40);
    EXPECT_EQ(queryId(), EC_COMM_401);
    EXPECT_TRUE(s.traced("Com Read ERROR:-401, tmpLen:40"));

    inject(Fault::ReadTimeout, 1);
    const int64_t before = s.clock().monotonicMs();
    EXPECT_EQ(queryId(), EC_COMM_401);
    EXPECT_GE(s.clock().monotonicMs() - before, 2000);

    inject(Fault::WriteFailure, 1);
    EXPECT_EQ(queryId(), EC_DISCONNECTED);
    EXPECT_TRUE(s.traced("Com Write fail: -100"));

    EXPECT_EQ(idRequests(), 2u);  // the failed write never reached the machine
    EXPECT_EQ(s.heartbeats(), 0u);
    expectNoReplyData();
}

TEST_F(Exchange, RefusalBecomesTheMachinesFaultCode)
{
    inject(Fault::Refusal, 1);
    sim::StatusRecord faulty;
    faulty.stampStatus = sim::kWarning;
    faulty.fault = 0x02;  // paper door fault
    s.machine().setStatus(faulty);
    EXPECT_EQ(queryId(), EC_PAPER_DOOR_FAULT);
    EXPECT_EQ(idRequests(), 1u);
    EXPECT_EQ(s.heartbeats(), 1u);
    EXPECT_TRUE(s.traced("Com host refuse:-401, readData[2]:133"));

    s.machine().setStatus(sim::StatusRecord{});  // no fault bit: still a failure
    inject(Fault::Refusal, 1);
    EXPECT_EQ(queryId(), EC_FAIL);

    inject(Fault::Refusal, 1, FaultTarget::Heartbeat);  // a poll is never turned into a fault
    EXPECT_EQ(s.seal().ExeHeart(), EC_PORT_OPENFAIL);
}

TEST_F(Exchange, LengthByteOutsideThePacketIsAMalformedReply)
{
    for (int length : {0, 2, 60, 255}) {
        SCOPED_TRACE(length);
        s.machine().clearLog();
        inject(Fault::BogusLength, 3, FaultTarget::Command, length);
        EXPECT_EQ(queryId(), EC_CRC_ERR);
        EXPECT_EQ(idRequests(), 3u);
        expectNoReplyData();
    }
    EXPECT_TRUE(s.traced("Com reply length error:255"));

    inject(Fault::BogusLength, 3, FaultTarget::Heartbeat, 200);
    EXPECT_EQ(s.seal().ExeHeart(), EC_PORT_OPENFAIL);
}

TEST_F(Exchange, BackupBoardLetsThroughOnlyPermittedExchangesOnce)
{
    s.machine().setBoard(sim::Board::Backup);
    ASSERT_EQ(s.seal().ExeHeart(), EC_OK);
    ASSERT_FALSE(s.seal().mainBoard());
    s.machine().clearLog();

    EXPECT_EQ(queryId(), EC_BACKUP_BOARD);
    EXPECT_TRUE(s.frames().empty());

    // One permission covers the retries of one exchange, and not the next command.
    inject(Fault::BadChecksum, 2);
    s.seal().permitBackupBoard();
    EXPECT_EQ(s.seal()._ExeCmd(CMD_GET_MACHINE_NUM), EC_OK);
    EXPECT_EQ(s.frames().size(), 3u);
    EXPECT_FALSE(s.seal().backupBoardPermitted());
    EXPECT_EQ(s.seal()._ExeCmd(CMD_GET_MACHINE_NUM), EC_BACKUP_BOARD);
    EXPECT_EQ(s.frames().size(), 3u);
}

}  // namespace
