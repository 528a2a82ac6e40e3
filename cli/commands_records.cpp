// The machine's alarms and its two logs: the alarm log and the records of abnormal side-door
// openings. Clearing a log always reads it first and reports what was cleared, so that no entry
// is lost unseen; when the read fails nothing is cleared.
#include <sstream>

#include "commands.h"
#include "stampctl/stampctl.h"

namespace stampctl_cli {

namespace {

using nlohmann::json;

struct Log {
    const char* name;          // as the command line names it
    const char* (*read)();     // entries joined by ';', or a failure text
    int (*clear)();
};

const Log kAlarmLog{"alarms", inqAlarmLog, delAlarmLog};
const Log kOpeningLog{"openings", readOpenBackDoorExceptionInfo, delOpenBackDoorExceptionInfo};

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

struct AlarmSwitch {
    const char* name;
    int (*on)();
    int (*off)();
};

const AlarmSwitch kBuzzer{"buzzer", openFMAlarm, closeFMAlarm};
const AlarmSwitch kAntiTheft{"anti-theft", openMoveAlarm, closeMoveAlarm};

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

}  // namespace

void addRecordCommands(CLI::App& app, Commands& commands)
{

    auto* alarm = app.add_subcommand("alarm", "the buzzer, the anti-theft (moved-device) alarm, the alarm log");
    alarm->require_subcommand(1);
    for (const AlarmSwitch* which : {&kBuzzer, &kAntiTheft}) {
        auto on = std::make_shared<bool>(false);
        auto* command = alarm->add_subcommand(which->name, std::string("switch the ") + which->name + " alarm");
        addSwitch(command, *on);
        commands.add(command, commands.onMachine([which, on] { return switchAlarm(*which, *on); }, "switching the alarm"));
    }
    commands.add(alarm->add_subcommand("list", "the alarm log"), commands.onMachine([] { return showLog(kAlarmLog, false); }, "reading the log"));
    commands.add(alarm->add_subcommand("clear", "show the alarm log, then clear it"),
                 commands.onMachine([] { return showLog(kAlarmLog, true); }, "reading the log"));

    auto* logCommand = app.add_subcommand("log", "the alarm log or the abnormal side-door openings");
    auto which = std::make_shared<std::string>();
    auto clear = std::make_shared<bool>(false);
    logCommand->add_option("log", *which, "alarms or openings")->required()->check(CLI::IsMember({"alarms", "openings"}));
    logCommand->add_flag("--clear", *clear, "clear the log after showing it");
    commands.add(logCommand, commands.onMachine([which, clear] {
                     return showLog(*which == kAlarmLog.name ? kAlarmLog : kOpeningLog, *clear);
                 }, "reading the log"));
}

}  // namespace stampctl_cli
