#include "shapes/records.h"

#include <sstream>

#include "stampctl/stampctl.h"

namespace stampctl_shapes {

const Log kAlarmLog{"alarms", inqAlarmLog, delAlarmLog};
const Log kOpeningLog{"openings", readOpenBackDoorExceptionInfo, delOpenBackDoorExceptionInfo};
const AlarmSwitch kBuzzer{"buzzer", openFMAlarm, closeFMAlarm};
const AlarmSwitch kAntiTheft{"anti-theft", openMoveAlarm, closeMoveAlarm};

Outcome showLog(const Log& log, bool clear)
{
    const Text read = libraryText(log.read());
    if (!read.ok()) return failure(read.code, {{"log", log.name}});
    const std::vector<std::string> entries = split(read.value, ';');
    Outcome outcome;
    outcome.data = {{"log", log.name}, {"entries", entries}, {"cleared", false}};
    std::ostringstream text;
    for (const std::string& entry : entries) text << entry << "\n";
    if (entries.empty()) text << "(no entries)\n";
    if (clear) {
        const int code = log.clear();
        if (code != 0) return failure(code, outcome.data);
        outcome.data["cleared"] = true;
        text << "(cleared " << entries.size() << (entries.size() == 1 ? " entry)\n" : " entries)\n");
    }
    outcome.text = text.str();
    return outcome;
}

Outcome switchAlarm(const AlarmSwitch& alarm, bool on)
{
    const int code = on ? alarm.on() : alarm.off();
    if (code != 0) return failure(code);
    Outcome outcome;
    outcome.data = {{"alarm", alarm.name}, {"state", on ? "on" : "off"}};
    outcome.text = std::string(alarm.name) + (on ? " alarm on" : " alarm off");
    outcome.confirmation = true;
    return outcome;
}

}  // namespace stampctl_shapes
