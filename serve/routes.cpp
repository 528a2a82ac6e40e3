#include "serve/routes.h"

#include <fstream>
#include <sstream>

#include "serve/answers.h"
#include "shapes/calibration.h"
#include "shapes/machine.h"
#include "shapes/records.h"
#include "shapes/stamp.h"
#include "stampctl/stampctl.h"

namespace stampctl_serve {

namespace {

using nlohmann::json;
using K = Field::Kind;
namespace shapes = stampctl_shapes;

constexpr long kMaxDoorSeconds = 65535;
constexpr long kMaxAngle = 360;
constexpr long kMaxPixel = 65535;
constexpr long kMaxMillimetre = 1000;
constexpr int kSeals = 6;
constexpr int kBlankAnswerPrint = 1;
constexpr int kBlankAnswerBlank = 0;

bool wholeIn(const json& v, long min, long max)
{
    return v.is_number_integer() && v.get<long long>() >= min && v.get<long long>() <= max;
}

// What is wrong with `v` as `field`, or "".
std::string fieldProblem(const Field& field, const json& v)
{
    const std::string range = std::to_string(field.min) + " to " + std::to_string(field.max);
    switch (field.kind) {
    case K::Integer:
        return wholeIn(v, field.min, field.max) ? "" : field.name + " must be a whole number from " + range;
    case K::Boolean: return v.is_boolean() ? "" : field.name + " must be true or false";
    case K::Text:
        return v.is_string() && v.get<std::string>().size() >= static_cast<size_t>(field.min) &&
                       v.get<std::string>().size() <= static_cast<size_t>(field.max)
                   ? ""
                   : field.name + " must be a text of " + range + " characters";
    case K::Point:
        return v.is_array() && v.size() == 2 && wholeIn(v[0], field.min, field.max) &&
                       wholeIn(v[1], field.min, field.max)
                   ? ""
                   : field.name + " must be [x, y], whole numbers from " + range;
    case K::Seals:
        if (v.is_array() && v.size() <= kSeals &&
            std::all_of(v.begin(), v.end(), [](const json& s) { return wholeIn(s, 1, kSeals); }))
            return "";
        return field.name + " must be a list of seal numbers from 1 to 6";
    case K::State: return v == "on" || v == "off" ? "" : field.name + " must be \"on\" or \"off\"";
    }
    return field.name + " is not understood";
}

// A route whose work runs on the machine in its turn.
std::function<Outcome(const Request&)> onMachine(MachineOwner& machine, std::function<Outcome(const Request&)> work)
{
    return [&machine, work](const Request& r) { return machine.run([&] { return work(r); }); };
}

bool isOn(const json& body) { return body.value("state", "") == "on"; }

}  // namespace

bool Routes::readBody(const Route& route, const std::string& text, json& body, Outcome& refused) const
{
    body = json::object();
    if (text.find_first_not_of(" \t\r\n") != std::string::npos) {
        body = json::parse(text, nullptr, false);
        if (body.is_discarded()) {
            body = json::object();
            refused = badRequest("the body is not valid JSON");
            return false;
        }
        if (!body.is_object()) {
            body = json::object();
            refused = badRequest("the body must be a JSON object");
            return false;
        }
    }
    for (const auto& [key, value] : body.items()) {
        const auto field =
            std::find_if(route.fields.begin(), route.fields.end(), [&](const Field& f) { return f.name == key; });
        if (field == route.fields.end()) {
            refused = badRequest(route.fields.empty() ? "this request takes no body fields, not " + key
                                                      : "unknown field " + key);
            return false;
        }
        const std::string problem = fieldProblem(*field, value);
        if (!problem.empty()) {
            refused = badRequest(problem);
            return false;
        }
    }
    for (const Field& field : route.fields) {
        if (field.required && !body.contains(field.name)) {
            refused = badRequest("missing field " + field.name);
            return false;
        }
    }
    return true;
}

Routes::Routes(MachineOwner& machine, Photos& photos, Events& events)
    : m_machine(machine), m_photos(photos), m_events(events)
{
    const Role viewer = Role::Viewer, op = Role::Operator, engineer = Role::Engineer;
    const Field state{"state", K::State, 0, 0, true};
    auto door = [this](const char* which) {
        return onMachine(m_machine, [which](const Request& r) {
            return shapes::openDoor({which, r.body.value("seconds", -1)});
        });
    };
    auto alarm = [this](const shapes::AlarmSwitch& which) {
        return onMachine(m_machine, [&which](const Request& r) { return shapes::switchAlarm(which, isOn(r.body)); });
    };
    auto log = [this](const shapes::Log& which, bool clear) {
        return onMachine(m_machine, [&which, clear](const Request&) { return shapes::showLog(which, clear); });
    };
    // clang-format off
    m_routes = {
        {"GET", "/v1/status", viewer, "status", false, {}, [this](const Request&) { return m_machine.status(); }},
        {"GET", "/v1/info", viewer, "info", false, {}, onMachine(m_machine, [](const Request&) { return shapes::info(); })},
        {"POST", "/v1/photos", viewer, "photo", false, {}, [this](const Request&) { return photo(); }},
        {"GET", "/v1/photos/([A-Za-z0-9_]+)", viewer, "photo", false, {}, [this](const Request& r) { return picture(r); },
         "image/jpeg"},
        {"GET", "/v1/photos/([A-Za-z0-9_]+)/check", viewer, "check", false, {}, [this](const Request& r) { return check(r); }},
        {"POST", "/v1/doors/paper/open", op, "door open", true, {{"seconds", K::Integer, 0, kMaxDoorSeconds}}, door("paper")},
        {"POST", "/v1/doors/side/open", op, "door open", true, {{"seconds", K::Integer, 0, kMaxDoorSeconds}}, door("side")},
        {"POST", "/v1/light", op, "light", false, {state},
         onMachine(m_machine, [](const Request& r) { return shapes::switchLight(isOn(r.body)); })},
        {"POST", "/v1/stamps", op, "stamp", true,
         {{"seal", K::Integer, 1, kSeals, true},
          {"angle", K::Integer, 0, kMaxAngle},
          {"photo", K::Text, 1, 80},
          {"pixel", K::Point, 0, kMaxPixel},
          {"mm", K::Point, 0, kMaxMillimetre},
          {"across_page", K::Boolean}},
         [this](const Request& r) { return stamp(r); }},
        {"POST", "/v1/alarms/buzzer", engineer, "alarm buzzer", true, {state}, alarm(shapes::kBuzzer)},
        {"POST", "/v1/alarms/anti-theft", engineer, "alarm anti-theft", true, {state}, alarm(shapes::kAntiTheft)},
        {"GET", "/v1/logs/alarms", engineer, "log", false, {}, log(shapes::kAlarmLog, false)},
        {"GET", "/v1/logs/openings", engineer, "log", false, {}, log(shapes::kOpeningLog, false)},
        {"POST", "/v1/logs/alarms/clear", engineer, "log", true, {}, log(shapes::kAlarmLog, true)},
        {"POST", "/v1/logs/openings/clear", engineer, "log", true, {}, log(shapes::kOpeningLog, true)},
        {"GET", "/v1/calibration", engineer, "calibration show", false, {},
         onMachine(m_machine, [](const Request&) { return shapes::showCalibration(); })},
        {"POST", "/v1/calibration/auto", engineer, "calibrate", true, {{"photosensitive", K::Seals}},
         onMachine(m_machine, [](const Request& r) {
             return shapes::autoCalibrate(r.body.value("photosensitive", std::vector<int>{}));
         })},
        {"POST", "/v1/reset", engineer, "reset", true, {}, onMachine(m_machine, [](const Request&) { return shapes::reset(); })},
    };
}

// clang-format on
Outcome Routes::photo()
{
    return m_machine.run([this] {
        const std::string stem = m_photos.newStem();
        const int code = shapes::photograph(stem, false);
        if (code != 0) return shapes::failure(code);
        const auto taken = m_photos.taken(stem);
        if (!taken) return shapes::failure(-206);
        m_events.publish("photo", taken->json());
        Outcome outcome;
        outcome.data = taken->json();
        return outcome;
    });
}

Outcome Routes::picture(const Request& r)
{
    const auto photo = m_photos.find(r.http.matches[1]);
    if (!photo) return notFound("no photo " + std::string(r.http.matches[1]));
    std::ifstream in(photo->path, std::ios::binary);
    if (!in) return notFound("the photo " + photo->id + " is gone from the disk");
    Outcome outcome;
    outcome.text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return outcome;
}

// Where the user clicked: may it be stamped, and is there print? The library judges on its last
// picture, so only that photo can be asked about.
Outcome Routes::check(const Request& r)
{
    const std::string id = r.http.matches[1];
    if (!m_photos.find(id)) return notFound("no photo " + id);
    const auto number = [&](const char* name, int& value) {
        const std::string text = r.http.get_param_value(name);
        if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
        value = std::stoi(text);
        return true;
    };
    int x = 0, y = 0;
    if (!number("x", x) || !number("y", y)) return badRequest("x and y must be whole numbers from 0 to 99999");
    Outcome outcome;
    if (m_photos.current() != id) {
        outcome = shapes::failure(kCodeNoPhoto);
        outcome.detail = "the photo " + id + " is not the last one taken";
        return outcome;
    }
    const int position = checkManualPrintPara(x, y, 0);
    const int blank = isWhitePaper(x, y);
    outcome.data = {{"photo", id},
                    {"pixel", {x, y}},
                    {"position", {{"code", position}, {"message", geterrMsg(position)}}},
                    {"blank", blank == kBlankAnswerPrint   ? "print"
                              : blank == kBlankAnswerBlank ? "blank"
                                                           : "unknown"}};
    return outcome;
}

Outcome Routes::stamp(const Request& r)
{
    shapes::StampRequest s;
    s.seal = r.body["seal"];
    s.angle = r.body.value("angle", 0);
    s.acrossPage = r.body.value("across_page", false);
    const bool byPixel = r.body.contains("pixel");
    if (byPixel == r.body.contains("mm")) return badRequest("give either pixel (with photo) or mm");
    if (byPixel != r.body.contains("photo"))
        return badRequest("a pixel is one of a photo: give photo with pixel, and only then");
    if (byPixel) {
        s.pixel = r.body["pixel"].get<std::vector<int>>();
        if (!m_photos.find(r.body["photo"])) return notFound("no photo " + r.body["photo"].get<std::string>());
    } else {
        s.mm = r.body["mm"].get<std::vector<int>>();
    }
    const int number = ++m_stamps;
    const json about = {{"stamp", number}, {"seal", s.seal}, {"angle", s.angle}};
    auto progress = [&](const char* state, const Outcome* done = nullptr) {
        json event = about;
        event["state"] = state;
        if (done) {
            event["code"] = done->code;
            event["message"] = shapes::messageOf(*done);
        }
        m_events.publish("stamp", event);
    };
    progress("queued");
    // "done" goes out before the next operation's turn begins, so that listeners see the stamps
    // one after the other as the machine pressed them.
    bool reported = false;
    auto finish = [&](Outcome done) {
        done.data["stamp"] = number;
        progress("done", &done);
        reported = true;
        return done;
    };
    Outcome outcome = m_machine.run(
        [&] {
            if (byPixel) {
                // Another photo taken while this stamp waited would move the pixel's meaning.
                const std::string photo = r.body["photo"];
                if (m_photos.current() != photo) {
                    Outcome refused = shapes::failure(kCodeNoPhoto);
                    refused.detail = "the photo " + photo + " is not the last one taken; take a photo and click again";
                    return finish(refused);
                }
                return finish(shapes::stamp(s, "", photo));
            }
            const std::string stem = m_photos.newStem();
            Outcome done = shapes::stamp(s, stem, std::filesystem::path(stem).filename().string());
            if (const auto taken = m_photos.taken(stem)) m_events.publish("photo", taken->json());
            return finish(done);
        },
        [&] { progress("pressing"); });
    if (!reported) outcome = finish(outcome);  // refused before its turn: busy, or no machine
    return outcome;
}

}  // namespace stampctl_serve
