// Every outcome of the library as one signed 32-bit code: 0 success, negative a failure with a
// fixed message that geterrMsg hands to the user.
#pragma once

namespace stampctl {

enum ResultCode : int {
    EC_OK = 0,

    EC_DEVICE_INIT = -80,
    EC_COMM_FAULT = -90,
    EC_PARAM = -91,
    EC_PARAM_92 = -92,
    EC_PARAM_93 = -93,
    EC_PARAM_94 = -94,

    EC_DISCONNECTED = -100,
    EC_PAPER_DOOR_OPEN = -101,
    EC_BACK_DOOR_OPEN = -102,

    EC_CAMERA_CLOSED = -200,
    EC_CAMERA_FAULT = -201,
    EC_CAMERA_BUSY = -202,
    EC_CAMERA_PARAM_203 = -203,
    EC_CAMERA_PARAM_204 = -204,
    EC_CAPTURE_FAIL = -205,
    EC_WRITE_FILE_FAIL = -206,
    EC_NO_PICTURE = -207,

    EC_MACHINE_NUM_PARAM = -300,
    EC_PARAM_301 = -301,
    EC_PARAM_302 = -302,
    EC_PARAM_303 = -303,
    EC_COMM_304 = -304,
    EC_PARAM_305 = -305,

    EC_PORT_OPENFAIL = -400,
    EC_COMM_401 = -401,
    EC_CRC_ERR = -402,

    EC_NO_SEAL = -500,
    EC_OUT_OF_BOUNDS_501 = -501,
    EC_PARAM_502 = -502,
    EC_PARAM_503 = -503,
    EC_PARAM_504 = -504,
    EC_OUT_OF_BOUNDS = -505,
    EC_BLANK_AREA = -506,

    EC_DEVICE_BUSY_600 = -600,
    EC_CALL_FAIL_601 = -601,
    EC_FAIL = -602,
    EC_NOT_CALIBRATED = -603,
    EC_PARAM_604 = -604,
    EC_PARAM_605 = -605,
    EC_UNNORMAL_OPEN_LIMIT = -606,
    EC_LOCKED = -607,
    EC_LOCK_FAIL = -608,
    EC_UNLOCK_FAIL = -609,
    EC_NEED_MAIN_BOARD = -610,
    EC_BIND_MISMATCH = -611,

    EC_BACK_DOOR_FAULT = -8000,
    EC_PAPER_DOOR_FAULT = -8001,
    EC_MOTOR_8002 = -8002,
    EC_MOTOR_8003 = -8003,
    EC_MOTOR_8004 = -8004,
    EC_MOTOR_8005 = -8005,
    EC_MACHINE_FAULT = -8006,
    EC_TIMEOUT = -8007,
    EC_BUSY = -8008,
    EC_SEAL_MISPLACED = -8009,
    EC_TRAVEL_8010 = -8010,
    EC_TRAVEL_8011 = -8011,
    EC_TRAVEL_8012 = -8012,
    EC_TRAVEL_8013 = -8013,
    EC_SEAL_MISSING = -8014,
    EC_SEAL_SLEEVE_CHANGED = -8015,
    EC_BACKUP_BOARD = -8016,
    EC_MACHINE_FAULT_8017 = -8017,
};

constexpr const char* kUnknownCodeMessage = "无此错误码";

// The fixed message of `code`, "无此错误码" where the table has none. -611 has no fixed text
// (its words come from the last slot check) and gives nullptr here.
const char* fixedMessage(int code);

}  // namespace stampctl
