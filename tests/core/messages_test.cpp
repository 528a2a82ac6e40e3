// Result messages: the whole table byte for byte, the gaps, -611 and the failure text.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "stampctl/seal.h"
#include "stampctl/stampctl.h"
#include "tests/support/test_env.h"

using namespace stampctl::test;

namespace {

// Written out independently of the library's table, so that a typo on either side shows.
const std::map<int, std::string> kExpected = {
    {0, "成功"},
    {-80, "设备初始化失败，请检查设备是否正常并重试"},
    {-90, "通信故障，请检查设备连接是否正常"},
    {-91, "传入参数错误"},
    {-92, "传入的参数错误"},
    {-93, "传入的参数错误"},
    {-94, "传入参数错误"},
    {-100, "连接已断开，请重新加载页面"},
    {-101, "纸板门未关闭，请关闭纸板门重试"},
    {-102, "换章门未关闭，请关闭换章门重试"},
    {-200, "摄像头未打开，请先打开摄像头"},
    {-201, "设备故障，请联系厂家解决"},
    {-202, "设备已被其他程序占用，请关闭程序重试"},
    {-203, "传入参数错误"},
    {-204, "传入参数错误"},
    {-205, "采集图片失败，请重新连接设备并重试"},
    {-206, "采集图像失败，磁盘空间不足"},
    {-207, "图像未采集，请先采集图像"},
    {-300, "传入参数错误"},
    {-301, "传入参数错误"},
    {-302, "传入参数错误"},
    {-303, "传入参数错误"},
    {-304, "通信故障，请检查设备连接是否正常"},
    {-305, "传入参数错误"},
    {-400, "通信故障，请检查设备连接是否正常"},
    {-401, "通信故障，请检查设备连接是否正常"},
    {-402, "通信故障，请检查设备连接是否正常"},
    {-500, "系统未检测到印章，请检查印章是否存在，或者断电重启设备"},
    {-501, "盖章位置超出边界"},
    {-502, "传入参数错误"},
    {-503, "传入参数错误"},
    {-504, "传入参数错误"},
    {-505, "盖章位置超出边界"},
    {-506, "空白位置不允许盖章"},
    {-600, "设备已被其他程序占用，请关闭程序重试"},
    {-601, "调用接口失败，请启动设备重试"},
    {-602, "调用接口失败，请启动设备重试"},
    {-603, "设备未初始化校准，请联系厂家校准"},
    {-604, "传入参数错误"},
    {-605, "传入参数错误"},
    {-606, "异常开锁次数已达上限，请在电子印章系统做异常开锁信息登记"},
    {-607, "设备已被锁定，请解锁后再试"},
    {-608, "设备锁定失败，请联系厂家解决"},
    {-609, "设备解锁失败，请联系厂家解决"},
    {-610, "无法完成该操作，请连接主板重试"},
    {-8000, "换章门故障，请启动设备重试"},
    {-8001, "纸板门故障，请启动设备重试"},
    {-8002, "设备电机故障，请启动设备重试"},
    {-8003, "设备电机故障，请启动设备重试"},
    {-8004, "设备电机故障，请启动设备重试"},
    {-8005, "设备电机故障，请启动设备重试"},
    {-8006, "设备故障，请联系厂家解决"},
    {-8007, "操作超时，请重试"},
    {-8008, "设备正忙，请稍后重试"},
    {-8009, "印章放置不规范，请检查印章放置方向是否正确"},
    {-8010, "机械走位故障，请启动设备重试"},
    {-8011, "机械走位故障，请启动设备重试"},
    {-8012, "机械走位故障，请启动设备重试"},
    {-8013, "机械走位故障，请启动设备重试"},
    {-8014, "未检测到印章，请检查印章是否存在"},
    {-8015, "印章章套已被更换，请与厂家联系"},
    {-8016, "无法完成该操作，请连接主板重试"},
    {-8017, "设备故障，请联系厂家解决"},
};

TEST(Messages, EveryCodeOfTheTable)
{
    TempBaseDir base;
    for (const auto& [code, text] : kExpected) EXPECT_EQ(geterrMsg(code), text) << code;
}

TEST(Messages, EveryGapSaysNoSuchCode)
{
    TempBaseDir base;
    for (int code : {1, 99, -1, -79, -81, -95, -99, -103, -199, -208, -306, -403, -507, -612, -999,
                     -7999, -8018, -9000, -100000})
        EXPECT_STREQ(geterrMsg(code), "无此错误码") << code;
    // A sweep over the whole range: only table entries have their own words.
    for (int code = -8100; code <= 10; ++code) {
        if (code == -611 || kExpected.count(code)) continue;
        ASSERT_STREQ(geterrMsg(code), "无此错误码") << code;
    }
}

TEST(Messages, BindingMismatchSpeaksWithTheLastSlotCheck)
{
    TempBaseDir base;
    EXPECT_STREQ(geterrMsg(-611), "");
}

TEST(Messages, FailureTextOfTextOperations)
{
    TempBaseDir base;
    CSeal* seal = CSeal::Instance();
    EXPECT_STREQ(seal->GetError(-8016), "-@#-8016");
    EXPECT_TRUE(traced(base.path(), "GetError:-@#-8016"));
    EXPECT_STREQ(seal->GetError(-401), "-@#-401");
    EXPECT_STREQ(seal->GetError(0x12345), "-@#9029") << "narrowed to 16 bits first";
}

}  // namespace
