#include "commands.h"

namespace stampctl_cli {

void Commands::add(CLI::App* command, Action action) { m_actions.emplace_back(command, std::move(action)); }

std::pair<std::string, Action> Commands::chosen() const
{
    for (const auto& [command, action] : m_actions) {
        if (!command->parsed()) continue;
        std::string name = command->get_name();
        for (const CLI::App* up = command->get_parent(); up && up->get_parent(); up = up->get_parent())
            name = up->get_name() + " " + name;
        return {name, action};
    }
    return {};
}

CLI::Option* addSwitch(CLI::App* command, bool& on)
{
    return command
        ->add_option_function<std::string>(
            "state", [&on](const std::string& state) { on = state == "on"; }, "on or off")
        ->required()
        ->check(CLI::IsMember({"on", "off"}));
}

}  // namespace stampctl_cli
