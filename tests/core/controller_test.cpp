// The controller: one per process, the exception guard, strupr, and the result messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <thread>

#include "stampctl/core/guard.h"
#include "stampctl/seal.h"
#include "stampctl/stampctl.h"
#include "tests/support/test_env.h"

using namespace stampctl;

namespace {

TEST(Controller, OneControllerGuardAndStrupr)
{
    test::TempBaseDir base;
    CSeal* seen[2] = {nullptr, nullptr};
    std::thread a([&] { seen[0] = CSeal::Instance(); }), b([&] { seen[1] = CSeal::Instance(); });
    a.join(), b.join();
    ASSERT_NE(seen[0], nullptr);
    EXPECT_EQ(seen[0], seen[1]);

    // The guard turns an exception into a call failure.
    int calls = 0;
    const auto throwing = [&]() -> int { ++calls, throw std::runtime_error("camera gone"); };
    EXPECT_EQ(guardedCall("gone", throwing), EC_FAIL);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(guardedCall("unused", [] { return 7; }), 7);
    EXPECT_EQ(guardedCall("unused", [] { return short(-3); }), short(-3));

    // strupr touches only lower-case ASCII.
    char text[] = "ab0z-{`}\xc3\xa9xyZ";
    CSeal::strupr(text);
    EXPECT_STREQ(text, "AB0Z-{`}\xc3\xa9XYZ");
    CSeal::strupr(nullptr);
}

// One code of each family, written out independently of the library's table.
const std::map<int, std::string> kSample = {
    {0, "成功"},
    {-91, "传入参数错误"},
    {-100, "连接已断开，请重新加载页面"},
    {-206, "采集图像失败，磁盘空间不足"},
    {-401, "通信故障，请检查设备连接是否正常"},
    {-506, "空白位置不允许盖章"},
    {-606, "异常开锁次数已达上限，请在电子印章系统做异常开锁信息登记"},
    {-610, "无法完成该操作，请连接主板重试"},
    {-8001, "纸板门故障，请启动设备重试"},
    {-8017, "设备故障，请联系厂家解决"},
};
// Every code the table knows.
const int kKnown[] = {0,    -80,  -90,  -91,  -92,  -93,  -94,  -100, -101, -102, -200, -201, -202, -203, -204, -205,
                      -206, -207, -300, -301, -302, -303, -304, -305, -400, -401, -402, -500, -501, -502, -503, -504,
                      -505, -506, -600, -601, -602, -603, -604, -605, -606, -607, -608, -609, -610, -611};

TEST(Messages, SampleCodesEveryGapAndFailureTexts)
{
    stampctl::test::TempBaseDir base;
    for (const auto& [code, text] : kSample) EXPECT_EQ(geterrMsg(code), text) << code;
    EXPECT_STREQ(geterrMsg(-611), "");  // speaks with the last slot check
    for (int code = -8100; code <= 10; ++code) {
        const bool known = std::find(std::begin(kKnown), std::end(kKnown), code) != std::end(kKnown) ||
                           (code <= -8000 && code >= -8017);
        if (known)
            ASSERT_STRNE(geterrMsg(code), "无此错误码") << code;
        else
            ASSERT_STREQ(geterrMsg(code), "无此错误码") << code;
    }
    EXPECT_STREQ(geterrMsg(-100000), "无此错误码");

    // The failure text of text operations.
    CSeal* seal = CSeal::Instance();
    EXPECT_STREQ(seal->GetError(-8016), "-@#-8016");
    EXPECT_STREQ(seal->GetError(0x12345), "-@#9029") << "narrowed to 16 bits first";
}

}  // namespace
