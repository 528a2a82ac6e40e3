#include "shapes/machine.h"

#include <sstream>

#include "stampctl/stampctl.h"

namespace stampctl_shapes {

namespace {

using nlohmann::json;

constexpr int kDoorOpen = 1;
constexpr int kDoorClosed = 2;

struct DoorReport {
    std::string state;  // "open", "closed" or "fault"
    int fault = 0;
};

// A door query answers 1 open, 2 closed, or the code of a fault (the door's own or the machine's).
DoorReport doorReport(int answer)
{
    if (answer == kDoorOpen) return {"open", 0};
    if (answer == kDoorClosed) return {"closed", 0};
    return {"fault", answer};
}

// "1:1;2:0;..." as six flags, slot 1 first.
json slotsOf(const std::string& slots)
{
    json present = json::array();
    for (const std::string& entry : split(slots, ';')) {
        const size_t colon = entry.find(':');
        if (colon != std::string::npos) present.push_back(entry.substr(colon + 1) == "1");
    }
    return present;
}

// "0A1B2C3D_1#44556677_3" as [{"slot": 1, "tag": "0A1B2C3D"}, ...].
json tagsOf(const std::string& tags)
{
    json list = json::array();
    for (const std::string& entry : split(tags, '#')) {
        const size_t underscore = entry.rfind('_');
        if (underscore == std::string::npos) continue;
        list.push_back({{"slot", std::atoi(entry.c_str() + underscore + 1)}, {"tag", entry.substr(0, underscore)}});
    }
    return list;
}

// Texts the library hands back as "" when it cannot read them.
json textOrNull(const char* value) { return value && *value ? json(value) : json(nullptr); }

std::string infoText(const json& d)
{
    std::ostringstream text;
    auto show = [](const json& v) { return v.is_null() ? std::string("(unknown)") : v.get<std::string>(); };
    text << "machine number:    " << show(d["number"]) << "\n"
         << "machine type:      " << show(d["type"]) << "\n"
         << "machine ID:        " << show(d["id"]) << "\n"
         << "firmware:          " << show(d["firmware_version"]);
    if (!d["firmware_mode"].is_null()) text << " (mode " << d["firmware_mode"].get<int>() << ")";
    text << "\nslots:            ";
    for (size_t i = 0; i < d["slots"].size(); ++i)
        text << " " << i + 1 << (d["slots"][i].get<bool>() ? ":seal" : ":empty");
    text << "\nRFID tags:        ";
    if (d["rfid"].empty()) text << " (none read)";
    for (const json& tag : d["rfid"]) text << " " << tag["slot"].get<int>() << ":" << tag["tag"].get<std::string>();
    text << "\nseal information:  "
         << (d["seal_info"].get<std::string>().empty() ? "(none stored)" : d["seal_info"].get<std::string>()) << "\n";
    return text.str();
}

}  // namespace

bool isLinkFailure(int code) { return code == -90 || code == -100 || code == -400 || code == -401 || code == -402; }

Outcome status()
{
    const int paper = checkPaperDoorState();
    const int side = checkBackDoorState();
    for (int answer : {paper, side})
        if (isLinkFailure(answer)) return failure(answer, {{"connected", false}});
    const DoorReport paperDoor = doorReport(paper);
    const DoorReport sideDoor = doorReport(side);
    const int fault = paperDoor.fault ? paperDoor.fault : sideDoor.fault;
    const bool ready = fault == 0 && paper == kDoorClosed && side == kDoorClosed;

    Outcome outcome;
    outcome.data = {{"connected", true},
                    {"paper_door", paperDoor.state},
                    {"side_door", sideDoor.state},
                    {"ready", ready},
                    {"fault", nullptr}};
    std::ostringstream text;
    text << "connection:  connected\n"
         << "paper door:  " << paperDoor.state << "\n"
         << "side door:   " << sideDoor.state << "\n"
         << "ready:       " << (ready ? "yes" : "no") << "\n";
    if (fault != 0) {
        outcome.data["fault"] = {{"code", fault}, {"message", geterrMsg(fault)}};
        text << "fault:       " << fault << " " << geterrMsg(fault) << "\n";
    } else {
        text << "fault:       none\n";
    }
    outcome.text = text.str();
    return outcome;
}

Outcome info()
{
    json d;
    const Text number = libraryText(getMachineNum());
    if (!number.ok()) return failure(number.code);
    d["number"] = number.value;
    const Text type = libraryText(getMachineType());
    d["type"] = type.ok() ? json(type.value) : json(nullptr);
    d["id"] = textOrNull(getMachineId());
    d["firmware_version"] = textOrNull(getFirmwareVer());
    const int mode = getFirmwareMode();
    d["firmware_mode"] = mode >= 0 ? json(mode) : json(nullptr);
    const Text slots = libraryText(querySloatInfo(number.value.c_str()));
    if (!slots.ok()) return failure(slots.code, d);
    d["slots"] = slotsOf(slots.value);
    d["rfid"] = tagsOf(libraryText(getRFID()).value);
    const Text sealInfo = libraryText(querySealInfo(number.value.c_str()));
    if (!sealInfo.ok()) return failure(sealInfo.code, d);
    d["seal_info"] = sealInfo.value;

    Outcome outcome;
    outcome.data = d;
    outcome.text = infoText(d);
    return outcome;
}

Outcome openDoor(const DoorRequest& r)
{
    const bool paper = r.door == "paper";
    int code;
    if (r.seconds < 0)
        code = paper ? openPaperDoor() : openMachineBackDoor();
    else
        code = paper ? openPaperDoorEx(r.seconds) : openMachineBackDoorEx(r.seconds);
    if (code != 0) return failure(code);
    Outcome outcome;
    outcome.data = {{"door", r.door}, {"seconds", r.seconds < 0 ? json(nullptr) : json(r.seconds)}};
    outcome.text = (paper ? "paper door open" : "side door open");
    outcome.confirmation = true;
    return outcome;
}

Outcome switchLight(bool on)
{
    const int code = on ? openVideoCapLight() : closeVideoCapLight();
    if (code != 0) return failure(code);
    Outcome outcome;
    outcome.data = {{"light", on ? "on" : "off"}};
    outcome.text = on ? "light on" : "light off";
    outcome.confirmation = true;
    return outcome;
}

}  // namespace stampctl_shapes
