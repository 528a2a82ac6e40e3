// Every outcome of the library as one signed 32-bit code: 0 success, negative a failure with a
// fixed message that geterrMsg hands to the user. The numbers are fixed by callers; the names say
// what went wrong.
#pragma once

namespace stampctl {

enum ResultCode : int {
    EC_OK = 0,

    EC_DEVICE_SELF_TEST_FAILED = -80,   // the machine's power-on self-test failed
    EC_SECURITY_CODE_UNREADABLE = -90,  // the stored security code could not be read
    EC_BAD_PARAMETER = -91,             // an argument the operation cannot use; a wrong code
    EC_SECURITY_CODE_MISSING = -92,
    EC_SECURITY_CODE_LENGTH = -93,  // not 6 to 50 characters
    EC_SECURITY_CODE_ALREADY_SET = -94,

    EC_DISCONNECTED = -100,
    EC_PAPER_DOOR_OPEN = -101,
    EC_BACK_DOOR_OPEN = -102,

    EC_CAMERA_CLOSED = -200,
    EC_CAMERA_FAULT = -201,
    EC_CAMERA_BUSY = -202,
    EC_PHOTO_PATH_MISSING = -203,
    EC_CAMERA_PARAMETER = -204,  // a frame size no camera delivers
    EC_CAPTURE_FAIL = -205,
    EC_WRITE_FILE_FAIL = -206,
    EC_NO_PICTURE = -207,

    EC_MACHINE_NUM_MISMATCH = -300,
    EC_MACHINE_NUM_MISSING = -301,
    EC_MACHINE_NUM_TOO_LONG = -302,
    EC_SEAL_INFO_TOO_LONG = -303,
    EC_SEAL_INFO_MISSING = -305,

    EC_PORT_OPENFAIL = -400,
    EC_NO_VALID_REPLY = -401,  // no reply, a refusal, or one too short for what was asked
    EC_CRC_ERR = -402,

    EC_NO_SEAL = -500,
    EC_SEAL_NUMBER_OUT_OF_RANGE = -502,
    EC_ANGLE_OUT_OF_RANGE = -503,
    EC_OUT_OF_BOUNDS = -505,
    EC_BLANK_AREA = -506,

    EC_DEVICE_OCCUPIED = -600,
    EC_TEXT_TOO_LONG = -601,  // a joined text would not fit its buffer
    EC_FAIL = -602,
    EC_NOT_CALIBRATED = -603,
    EC_OPEN_REASON_MISSING = -604,
    EC_OPEN_REASON_TOO_LONG = -605,
    EC_UNNORMAL_OPEN_LIMIT = -606,
    EC_LOCKED = -607,
    EC_LOCK_FAIL = -608,
    EC_UNLOCK_FAIL = -609,
    EC_NEED_MAIN_BOARD = -610,
    EC_BIND_MISMATCH = -611,

    EC_BACK_DOOR_FAULT = -8000,
    EC_PAPER_DOOR_FAULT = -8001,
    EC_MOTOR_X = -8002,
    EC_MOTOR_Y = -8003,
    EC_MOTOR_Z = -8004,
    EC_MOTOR_ROTATION = -8005,
    EC_TOP_COVER_OPEN = -8006,
    EC_TIMEOUT = -8007,
    EC_BUSY = -8008,
    EC_SEAL_MISPLACED = -8009,
    EC_TRAVEL_X = -8010,
    EC_TRAVEL_Y = -8011,
    EC_TRAVEL_Z = -8012,
    EC_TRAVEL_ROTATION = -8013,
    EC_SEAL_MISSING = -8014,
    EC_SEAL_SLEEVE_CHANGED = -8015,
    EC_BACKUP_BOARD = -8016,
    EC_TOP_COVER_LOOSE = -8017,

    // No operation returns these any more; callers that still show them get their messages.
    EC_RESERVED_COMM = -304,
    EC_RESERVED_OUT_OF_BOUNDS = -501,
    EC_RESERVED_PARAMETER = -504,
};

constexpr const char* kUnknownCodeMessage = "无此错误码";

// The fixed message of `code`, "无此错误码" where the table has none. -611 has no fixed text
// (its words come from the last slot check) and gives nullptr here.
const char* fixedMessage(int code);

}  // namespace stampctl
