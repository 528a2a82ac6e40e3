// The machine's alarms and its two logs on the command line.
#include "commands.h"
#include "shapes/records.h"

namespace stampctl_cli {

void addRecordCommands(CLI::App& app, Commands& commands)
{
    auto* alarm = app.add_subcommand("alarm", "the buzzer, the anti-theft (moved-device) alarm, the alarm log");
    alarm->require_subcommand(1);
    for (const AlarmSwitch* which : {&kBuzzer, &kAntiTheft}) {
        auto on = std::make_shared<bool>(false);
        auto* command = alarm->add_subcommand(which->name, std::string("switch the ") + which->name + " alarm");
        addSwitch(command, *on);
        commands.add(command,
                     commands.onMachine([which, on] { return switchAlarm(*which, *on); }, "switching the alarm"));
    }
    commands.add(alarm->add_subcommand("list", "the alarm log"),
                 commands.onMachine([] { return showLog(kAlarmLog, false); }, "reading the log"));
    commands.add(alarm->add_subcommand("clear", "show the alarm log, then clear it"),
                 commands.onMachine([] { return showLog(kAlarmLog, true); }, "reading the log"));

    auto* logCommand = app.add_subcommand("log", "the alarm log or the abnormal side-door openings");
    auto which = std::make_shared<std::string>();
    auto clear = std::make_shared<bool>(false);
    logCommand->add_option("log", *which, "alarms or openings")
        ->required()
        ->check(CLI::IsMember({"alarms", "openings"}));
    logCommand->add_flag("--clear", *clear, "clear the log after showing it");
    commands.add(logCommand,
                 commands.onMachine(
                     [which, clear] { return showLog(*which == kAlarmLog.name ? kAlarmLog : kOpeningLog, *clear); },
                     "reading the log"));
}

}  // namespace stampctl_cli
