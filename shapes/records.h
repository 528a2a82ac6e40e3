// The machine's alarms and its two logs: the alarm log and the records of abnormal side-door
// openings. Clearing a log always reads it first and reports what was cleared, so that no entry
// is lost unseen; when the read fails nothing is cleared.
#pragma once

#include "shapes/outcome.h"

namespace stampctl_shapes {

struct Log {
    const char* name;       // "alarms" or "openings"
    const char* (*read)();  // entries joined by ';', or a failure text
    int (*clear)();
};
extern const Log kAlarmLog;
extern const Log kOpeningLog;

Outcome showLog(const Log& log, bool clear);

struct AlarmSwitch {
    const char* name;  // "buzzer" or "anti-theft"
    int (*on)();
    int (*off)();
};
extern const AlarmSwitch kBuzzer;
extern const AlarmSwitch kAntiTheft;

Outcome switchAlarm(const AlarmSwitch& alarm, bool on);

}  // namespace stampctl_shapes
