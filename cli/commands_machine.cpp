// What the machine is and how it stands, and what an engineer switches by hand: status, info,
// door, light.
#include <chrono>
#include <thread>

#include "commands.h"
#include "progress.h"
#include "shapes/machine.h"

namespace stampctl_cli {

namespace {

using nlohmann::json;

constexpr int kDefaultLightSeconds = 10;

struct LightRequest {
    bool on = false;
    int seconds = kDefaultLightSeconds;
};

// Disconnecting switches the light off, and the tool disconnects when it ends: "on" holds the
// connection for the seconds asked.
Outcome light(const Options& options, const LightRequest& r)
{
    Outcome outcome = switchLight(r.on);
    if (outcome.code != 0) return outcome;
    if (r.on) {
        Progress progress(options, "light on");
        std::this_thread::sleep_for(std::chrono::seconds(r.seconds));
        outcome.data["seconds"] = r.seconds;
    }
    outcome.text = r.on ? "light was on for " + std::to_string(r.seconds) + " s, now off" : "light off";
    outcome.confirmation = true;
    return outcome;
}

}  // namespace

void addMachineCommands(CLI::App& app, Commands& commands)
{
    const Options& options = commands.options();

    commands.add(app.add_subcommand("status", "connection, doors, readiness and the machine's fault"),
                 commands.onMachine(status));
    commands.add(app.add_subcommand("info", "number, type, ID, firmware, slots, RFID tags, seal information"),
                 commands.onMachine(info));

    auto* door = app.add_subcommand("door", "open the paper door or the side (seal-change) door");
    door->require_subcommand(1);
    auto doorRequest = std::make_shared<DoorRequest>();
    auto* open = door->add_subcommand("open", "open a door for a while");
    open->add_option("door", doorRequest->door, "paper or side")->required()->check(CLI::IsMember({"paper", "side"}));
    open->add_option("--seconds", doorRequest->seconds, "how long it stays open (default: paper 30, side 120)")
        ->check(CLI::Range(0, 65535));
    commands.add(open, commands.onMachine([doorRequest] { return openDoor(*doorRequest); }));

    auto lightRequest = std::make_shared<LightRequest>();
    auto* lightCommand = app.add_subcommand("light", "the document camera's light");
    addSwitch(lightCommand, lightRequest->on);
    lightCommand
        ->add_option("--seconds", lightRequest->seconds,
                     "with on: how long it stays on before stampctl disconnects (default 10)")
        ->check(CLI::Range(0, 3600));
    commands.add(lightCommand, commands.onMachine([&options, lightRequest] { return light(options, *lightRequest); }));
}

}  // namespace stampctl_cli
