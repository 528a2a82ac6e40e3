#include "stampctl/core/result_codes.h"

#include <algorithm>
#include <iterator>

namespace stampctl {
namespace {

struct Entry {
    int code;
    const char* message;
};

constexpr const char* kComm = "通信故障，请检查设备连接是否正常";
constexpr const char* kParam = "传入参数错误";
constexpr const char* kParamThe = "传入的参数错误";
constexpr const char* kCallFail = "调用接口失败，请启动设备重试";
constexpr const char* kNeedMain = "无法完成该操作，请连接主板重试";
constexpr const char* kOccupied = "设备已被其他程序占用，请关闭程序重试";
constexpr const char* kContactMaker = "设备故障，请联系厂家解决";
constexpr const char* kMotor = "设备电机故障，请启动设备重试";
constexpr const char* kTravel = "机械走位故障，请启动设备重试";
constexpr const char* kOutOfBounds = "盖章位置超出边界";

// Sorted by code, descending, for the binary search below.
constexpr Entry kTable[] = {
    {0, "成功"},
    {-80, "设备初始化失败，请检查设备是否正常并重试"},
    {-90, kComm},
    {-91, kParam},
    {-92, kParamThe},
    {-93, kParamThe},
    {-94, kParam},
    {-100, "连接已断开，请重新加载页面"},
    {-101, "纸板门未关闭，请关闭纸板门重试"},
    {-102, "换章门未关闭，请关闭换章门重试"},
    {-200, "摄像头未打开，请先打开摄像头"},
    {-201, kContactMaker},
    {-202, kOccupied},
    {-203, kParam},
    {-204, kParam},
    {-205, "采集图片失败，请重新连接设备并重试"},
    {-206, "采集图像失败，磁盘空间不足"},
    {-207, "图像未采集，请先采集图像"},
    {-300, kParam},
    {-301, kParam},
    {-302, kParam},
    {-303, kParam},
    {-304, kComm},
    {-305, kParam},
    {-400, kComm},
    {-401, kComm},
    {-402, kComm},
    {-500, "系统未检测到印章，请检查印章是否存在，或者断电重启设备"},
    {-501, kOutOfBounds},
    {-502, kParam},
    {-503, kParam},
    {-504, kParam},
    {-505, kOutOfBounds},
    {-506, "空白位置不允许盖章"},
    {-600, kOccupied},
    {-601, kCallFail},
    {-602, kCallFail},
    {-603, "设备未初始化校准，请联系厂家校准"},
    {-604, kParam},
    {-605, kParam},
    {-606, "异常开锁次数已达上限，请在电子印章系统做异常开锁信息登记"},
    {-607, "设备已被锁定，请解锁后再试"},
    {-608, "设备锁定失败，请联系厂家解决"},
    {-609, "设备解锁失败，请联系厂家解决"},
    {-610, kNeedMain},
    {-611, nullptr},
    {-8000, "换章门故障，请启动设备重试"},
    {-8001, "纸板门故障，请启动设备重试"},
    {-8002, kMotor},
    {-8003, kMotor},
    {-8004, kMotor},
    {-8005, kMotor},
    {-8006, kContactMaker},
    {-8007, "操作超时，请重试"},
    {-8008, "设备正忙，请稍后重试"},
    {-8009, "印章放置不规范，请检查印章放置方向是否正确"},
    {-8010, kTravel},
    {-8011, kTravel},
    {-8012, kTravel},
    {-8013, kTravel},
    {-8014, "未检测到印章，请检查印章是否存在"},
    {-8015, "印章章套已被更换，请与厂家联系"},
    {-8016, kNeedMain},
    {-8017, kContactMaker},
};

}  // namespace

const char* fixedMessage(int code)
{
    const Entry* end = std::end(kTable);
    const Entry* hit = std::lower_bound(std::begin(kTable), end, code,
                                        [](const Entry& e, int c) { return e.code > c; });
    if (hit == end || hit->code != code) return kUnknownCodeMessage;
    return hit->message;
}

}  // namespace stampctl
