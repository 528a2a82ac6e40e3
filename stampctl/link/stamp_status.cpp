// What a status record means: its most important fault and the trace lines of its warnings.
#include "stampctl/link/stamp_status.h"

#include "stampctl/core/result_codes.h"
#include "stampctl/core/trace.h"

namespace stampctl::status {

namespace {

enum StatusByte { kWarn1, kWarn2, kWarn3, kFault };

struct StatusBit {
    StatusByte byte;
    uint8_t mask;
    const char* message;  // nullptr: the bit is read elsewhere and never logged
    int code;             // EC_OK: the bit never decides GetMachineERR
};

// In the order LogMachineERR writes them.
const StatusBit kStatusBits[] = {
    {kWarn1, 0x01, "警告码:X轴走位置出错", EC_TRAVEL_X},
    {kWarn1, 0x02, "警告码:Y轴走位置出错", EC_TRAVEL_Y},
    {kWarn1, 0x04, "警告码:Z轴走位置出错", EC_TRAVEL_Z},
    {kWarn1, 0x08, "警告码:旋转走位错误", EC_TRAVEL_ROTATION},
    {kWarn1, 0x10, "警告码:推杆上有印章（印章太多）", EC_OK},
    {kWarn1, 0x20, "警告码:盖章位置超出边界", EC_OK},
    {kWarn1, 0x40, "警告码:印章放置方向错误", EC_SEAL_MISPLACED},
    {kWarn1, 0x80, "警告码:用印机顶盖已打开,用印机不可操作", EC_TOP_COVER_OPEN},
    {kWarn2, 0x01, "警告码:设备里无印章", EC_SEAL_MISSING},
    {kWarn2, 0x02, "警告码:印章信息与上次比较不一致", EC_SEAL_SLEEVE_CHANGED},
    {kWarn2, 0x04, "警告码:盖章槽位无章", EC_NO_SEAL},
    {kWarn2, 0x08, nullptr, EC_OK},
    {kWarn2, 0x10, "警告码:侧门已被打开，印章有变动", EC_OK},
    {kWarn2, 0x20, "警告码:侧门未关上", EC_OK},
    {kWarn2, 0x40, "警告码:侧门识别码错误", EC_OK},
    {kWarn2, 0x80, "警告码:盖章过程中印章掉落", EC_OK},
    {kWarn3, 0x01, "警告码:侧门锁未关上", EC_OK},
    {kWarn3, 0x02, "警告码:纸板门未关上", EC_OK},
    {kWarn3, 0x04, "警告码:用印机上盖未紧固", EC_TOP_COVER_LOOSE},
    {kWarn3, 0x08, "警告码:上电初始化自检失败", EC_DEVICE_SELF_TEST_FAILED},
    {kFault, 0x01, "故障码:换章门RFID故障", EC_BACK_DOOR_FAULT},
    {kFault, 0x02, "故障码:纸板门故障", EC_PAPER_DOOR_FAULT},
    {kFault, 0x04, "故障码:X轴电机故障", EC_MOTOR_X},
    {kFault, 0x08, "故障码:Y轴电机故障", EC_MOTOR_Y},
    {kFault, 0x10, "故障码:Z轴电机故障", EC_MOTOR_Z},
    {kFault, 0x20, "故障码:旋转电机故障", EC_MOTOR_ROTATION},
};

// The codes in order of importance: the first whose bit is set is the machine's fault.
const int kFaultRanking[] = {
    EC_NO_SEAL,        EC_BACK_DOOR_FAULT, EC_PAPER_DOOR_FAULT, EC_MOTOR_X,
    EC_MOTOR_Y,        EC_MOTOR_Z,         EC_MOTOR_ROTATION,   EC_TRAVEL_X,
    EC_TRAVEL_Y,       EC_TRAVEL_Z,        EC_TRAVEL_ROTATION,  EC_SEAL_SLEEVE_CHANGED,
    EC_SEAL_MISPLACED, EC_TOP_COVER_OPEN,  EC_TOP_COVER_LOOSE,  EC_DEVICE_SELF_TEST_FAILED,
    EC_SEAL_MISSING,
};

uint8_t byteOf(const CStampStatus& s, StatusByte b)
{
    switch (b) {
    case kWarn1: return s.warn_code1;
    case kWarn2: return s.warn_code2;
    case kWarn3: return s.warn_code3;
    case kFault: return s.fault_code;
    }
    return 0;
}

bool isSet(const CStampStatus& s, int code)
{
    for (const StatusBit& bit : kStatusBits)
        if (bit.code == code) return (byteOf(s, bit.byte) & bit.mask) != 0;
    return false;
}

}  // namespace

CStampStatus fromBytes(const uint8_t* bytes)
{
    CStampStatus s;
    s.stamp_status = bytes[0];
    s.state_flags = bytes[1];
    s.door_flags = bytes[2];
    s.warn_code1 = bytes[3];
    s.warn_code2 = bytes[4];
    s.warn_code3 = bytes[5];
    s.fault_code = bytes[6];
    if (fromMainBoard(s)) {
        if (s.door_flags & kDoorPaper) s.m_iIsPaperOpen = 1;
        if (s.door_flags & kDoorSide) s.m_iIsBackDoorOpen = 1;
    }
    return s;
}

bool fromMainBoard(const CStampStatus& s) { return (s.state_flags & kStateBackupBoard) == 0; }

int machineError(const CStampStatus& s)
{
    for (int code : kFaultRanking)
        if (isSet(s, code)) return code;
    TrcWritef(kTraceInfo, "GetMachineERR return EC_FAIL");
    return EC_FAIL;
}

void logWarnings(const CStampStatus& s)
{
    if (s.stamp_status != kWarning) return;
    for (const StatusBit& bit : kStatusBits)
        if (bit.message && (byteOf(s, bit.byte) & bit.mask)) TrcWritef(kTraceInfo, "%s", bit.message);
}

bool isResetting(const CStampStatus& s)
{
    return s.stamp_status == kWarning && (s.warn_code1 & kWarn1PositionErrors) != 0;
}

bool isResetState(uint8_t state) { return state == kResetting1 || state == kResetting2; }

}  // namespace stampctl::status
