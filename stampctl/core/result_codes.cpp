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

// Keyed by name, so that a code and its message cannot drift apart; sorted by code,
// descending, for the binary search below (checked at compile time).
constexpr Entry kTable[] = {
    {EC_OK, "成功"},
    {EC_DEVICE_SELF_TEST_FAILED, "设备初始化失败，请检查设备是否正常并重试"},
    {EC_SECURITY_CODE_UNREADABLE, kComm},
    {EC_BAD_PARAMETER, kParam},
    {EC_SECURITY_CODE_MISSING, kParamThe},
    {EC_SECURITY_CODE_LENGTH, kParamThe},
    {EC_SECURITY_CODE_ALREADY_SET, kParam},
    {EC_DISCONNECTED, "连接已断开，请重新加载页面"},
    {EC_PAPER_DOOR_OPEN, "纸板门未关闭，请关闭纸板门重试"},
    {EC_BACK_DOOR_OPEN, "换章门未关闭，请关闭换章门重试"},
    {EC_CAMERA_CLOSED, "摄像头未打开，请先打开摄像头"},
    {EC_CAMERA_FAULT, kContactMaker},
    {EC_CAMERA_BUSY, kOccupied},
    {EC_PHOTO_PATH_MISSING, kParam},
    {EC_CAMERA_PARAMETER, kParam},
    {EC_CAPTURE_FAIL, "采集图片失败，请重新连接设备并重试"},
    {EC_WRITE_FILE_FAIL, "采集图像失败，磁盘空间不足"},
    {EC_NO_PICTURE, "图像未采集，请先采集图像"},
    {EC_MACHINE_NUM_MISMATCH, kParam},
    {EC_MACHINE_NUM_MISSING, kParam},
    {EC_MACHINE_NUM_TOO_LONG, kParam},
    {EC_SEAL_INFO_TOO_LONG, kParam},
    {EC_RESERVED_COMM, kComm},
    {EC_SEAL_INFO_MISSING, kParam},
    {EC_PORT_OPENFAIL, kComm},
    {EC_NO_VALID_REPLY, kComm},
    {EC_CRC_ERR, kComm},
    {EC_NO_SEAL, "系统未检测到印章，请检查印章是否存在，或者断电重启设备"},
    {EC_RESERVED_OUT_OF_BOUNDS, kOutOfBounds},
    {EC_SEAL_NUMBER_OUT_OF_RANGE, kParam},
    {EC_ANGLE_OUT_OF_RANGE, kParam},
    {EC_RESERVED_PARAMETER, kParam},
    {EC_OUT_OF_BOUNDS, kOutOfBounds},
    {EC_BLANK_AREA, "空白位置不允许盖章"},
    {EC_DEVICE_OCCUPIED, kOccupied},
    {EC_TEXT_TOO_LONG, kCallFail},
    {EC_FAIL, kCallFail},
    {EC_NOT_CALIBRATED, "设备未初始化校准，请联系厂家校准"},
    {EC_OPEN_REASON_MISSING, kParam},
    {EC_OPEN_REASON_TOO_LONG, kParam},
    {EC_UNNORMAL_OPEN_LIMIT, "异常开锁次数已达上限，请在电子印章系统做异常开锁信息登记"},
    {EC_LOCKED, "设备已被锁定，请解锁后再试"},
    {EC_LOCK_FAIL, "设备锁定失败，请联系厂家解决"},
    {EC_UNLOCK_FAIL, "设备解锁失败，请联系厂家解决"},
    {EC_NEED_MAIN_BOARD, kNeedMain},
    {EC_BIND_MISMATCH, nullptr},
    {EC_BACK_DOOR_FAULT, "换章门故障，请启动设备重试"},
    {EC_PAPER_DOOR_FAULT, "纸板门故障，请启动设备重试"},
    {EC_MOTOR_X, kMotor},
    {EC_MOTOR_Y, kMotor},
    {EC_MOTOR_Z, kMotor},
    {EC_MOTOR_ROTATION, kMotor},
    {EC_TOP_COVER_OPEN, kContactMaker},
    {EC_TIMEOUT, "操作超时，请重试"},
    {EC_BUSY, "设备正忙，请稍后重试"},
    {EC_SEAL_MISPLACED, "印章放置不规范，请检查印章放置方向是否正确"},
    {EC_TRAVEL_X, kTravel},
    {EC_TRAVEL_Y, kTravel},
    {EC_TRAVEL_Z, kTravel},
    {EC_TRAVEL_ROTATION, kTravel},
    {EC_SEAL_MISSING, "未检测到印章，请检查印章是否存在"},
    {EC_SEAL_SLEEVE_CHANGED, "印章章套已被更换，请与厂家联系"},
    {EC_BACKUP_BOARD, kNeedMain},
    {EC_TOP_COVER_LOOSE, kContactMaker},
};

constexpr bool strictlyDescending()
{
    for (size_t i = 1; i < std::size(kTable); ++i)
        if (kTable[i - 1].code <= kTable[i].code) return false;
    return true;
}
static_assert(strictlyDescending(), "the message table must be sorted by code, descending");

}  // namespace

const char* fixedMessage(int code)
{
    const Entry* end = std::end(kTable);
    const Entry* hit =
        std::lower_bound(std::begin(kTable), end, code, [](const Entry& e, int c) { return e.code > c; });
    if (hit == end || hit->code != code) return kUnknownCodeMessage;
    return hit->message;
}

}  // namespace stampctl
