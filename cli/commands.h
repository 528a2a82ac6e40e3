// The sub-commands. Each group adds its commands to the parser and names the action that runs
// when the parser chose one of them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "session.h"

namespace stampctl_cli {

using Action = std::function<Outcome()>;

class Commands {
public:
    explicit Commands(const Options& options) : m_options(options) {}
    const Options& options() const { return m_options; }

    // `command` runs `action` when the parser has chosen it.
    void add(CLI::App* command, Action action);
    // `work` wrapped to run on a connected machine: connect, work, disconnect.
    Action onMachine(Action work) const
    {
        const Options& options = m_options;
        return [&options, work] { return withMachine(options, work); };
    }
    // The chosen command's full name ("door open") and action; no action when none was chosen.
    std::pair<std::string, Action> chosen() const;

private:
    const Options& m_options;
    std::vector<std::pair<CLI::App*, Action>> m_actions;
};

// A positional "on" or "off" as a bool.
CLI::Option* addSwitch(CLI::App* command, bool& on);

void addMachineCommands(CLI::App& app, Commands& commands);      // status, info, door, light
void addRecordCommands(CLI::App& app, Commands& commands);       // alarm, log
void addStampCommands(CLI::App& app, Commands& commands);        // photo, stamp, reset
void addCalibrationCommands(CLI::App& app, Commands& commands);  // calibrate, calibration
void addServeCommands(CLI::App& app, Commands& commands);        // serve, token

}  // namespace stampctl_cli
