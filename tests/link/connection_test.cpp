// Connecting with a code, disconnecting, the edition and motion parameters chosen on the way,
// and the top cover that ends a session.

#include "stampctl/imaging/img_help.h"
#include "tests/support/sim_session.h"

using namespace stampctl;

namespace {

constexpr unsigned char kSecurityCode = 0x0C;
constexpr unsigned char kConfigCode = 0x0E;
constexpr unsigned char kLightCode = 0x0D;
constexpr char kFactory[] = "mt5934mt";

class Connection : public ::testing::Test {
protected:
    test::SimSession s;
};

TEST_F(Connection, FactoryCodeOpensAnyMachineOtherCodesAreChecked)
{
    EXPECT_EQ(connMachine(""), EC_OK);  // nothing stored: any code will do
    s.machine().setSecurityCode("secret99");
    s.machine().clearLog();
    EXPECT_EQ(connMachine(kFactory), EC_OK);
    EXPECT_EQ(s.commandsWithCode(kSecurityCode), 0u);
    EXPECT_TRUE(s.machine().lightOn());
    EXPECT_EQ(isConnMachine(), 0);

    // A refused or unreadable code leaves nothing usable: no command reaches the machine.
    const auto expectClosed = [&](const char* code, int refusal) {
        EXPECT_EQ(connMachine(code), refusal) << code;
        s.machine().clearLog();
        EXPECT_EQ(isConnMachine(), 1);
        EXPECT_TRUE(s.frames().empty()) << code;
    };
    expectClosed("", EC_BAD_PARAMETER);
    expectClosed("secret98", EC_BAD_PARAMETER);
    EXPECT_EQ(connMachine("secret99"), EC_OK);
    s.refuse(kSecurityCode);
    expectClosed("secret99", EC_SECURITY_CODE_UNREADABLE);
    EXPECT_EQ(connMachine("secret99"), EC_OK);
    EXPECT_EQ(isConnMachine(), 0);
}

TEST_F(Connection, MachineThatIsMissingOrSilentIsNotConnectedAndDisconnectClosesTheLink)
{
    EXPECT_EQ(disconnMachine(), EC_OK);  // never connected
    s.machine().setPlugged(false);
    EXPECT_EQ(connMachine(kFactory), EC_PORT_OPENFAIL);

    s.machine().setPlugged(true);
    s.inject(sim::Fault::ReadTimeout, 1, sim::FaultTarget::Heartbeat);
    EXPECT_EQ(connMachine(kFactory), EC_PORT_OPENFAIL);
    s.machine().clearLog();
    EXPECT_EQ(isConnMachine(), 1);
    EXPECT_TRUE(s.frames().empty());  // the link was closed behind the failed attempt

    // A kernel driver holding the interface is detached by the open; the session works.
    s.machine().setKernelDriverBound(true);
    EXPECT_EQ(connMachine(kFactory), EC_OK);
    EXPECT_FALSE(s.machine().kernelDriverBound());
    ASSERT_TRUE(s.machine().lightOn());
    EXPECT_EQ(disconnMachine(), EC_OK);
    EXPECT_FALSE(s.machine().lightOn());
    EXPECT_EQ(isConnMachine(), 1);
}

TEST_F(Connection, OpenTopCoverDisconnectsOnceWithoutLooping)
{
    ASSERT_EQ(s.connect(), EC_OK);
    s.machine().setTopCoverOpen(true);

    EXPECT_EQ(checkPaperDoorState(), EC_TOP_COVER_OPEN);
    // The poll that saw the cover, and the one of the light-off that sees it again; no more.
    EXPECT_EQ(s.heartbeats(), 2u);
    EXPECT_EQ(s.commandsWithCode(kLightCode), 0u);
    EXPECT_EQ(isConnMachine(), 1);

    s.machine().clearLog();
    EXPECT_EQ(connMachine(kFactory), EC_PORT_OPENFAIL);
    EXPECT_LE(s.heartbeats(), 2u);
}

// The machine type chooses the edition's file, the firmware its motion section.
TEST_F(Connection, OnlyConfiguredMotionParametersOfTheEditionAreWritten)
{
    const auto factory = s.machine().motionBlock();
    ASSERT_EQ(connMachine(kFactory), EC_OK);
    EXPECT_EQ(s.machine().motionBlock(), factory);

    s.writeFile("ywb.ini", "[Config]\nseal_hold_sleep=333\nseal_qf_cb_back_go=-2\n[Config_210]\nseal_deep=2100\n");
    s.writeFile("xzb.ini", "[Config]\nseal_deep=777\n[CAM_USB]\nJpgRar=90\nCutEzh=255\n");
    s.machine().clearLog();
    ASSERT_EQ(connMachine(kFactory), EC_OK);
    size_t writes = 0;
    for (const auto& f : s.frames()) writes += f[2] == 0x02 && f[5] == kConfigCode;
    EXPECT_EQ(writes, 1u);
    auto expected = factory;
    expected[4] = 0x01;  // 333, big-endian
    expected[5] = 0x4D;
    expected[22] = 0xFF;  // -2
    expected[23] = 0xFE;
    EXPECT_EQ(s.machine().motionBlock(), expected);

    s.machine().setMachineType("OVM310");
    ASSERT_EQ(s.connect(), EC_OK);
    EXPECT_EQ(s.machine().motionParam(0), 777);
    // The picture settings reach the output of the photos.
    EXPECT_EQ(std::pair(CImgHelp::Instance()->jpgRar(), CImgHelp::Instance()->cutEzh()), std::pair(90, 255ul));
    s.machine().setMachineType("OVM260");
    s.machine().setFirmwareVersion("OVSTAMP V2.10 2026-01-05");
    ASSERT_EQ(s.connect(), EC_OK);
    EXPECT_EQ(s.machine().motionParam(0), 2100);
}

}  // namespace
