// The requests under /v1: who may make each, what its body holds, and what it does on the
// machine. Each answers with an outcome in the shared shapes.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "serve/events.h"
#include "serve/machine_owner.h"
#include "serve/photos.h"
#include "serve/tokens.h"

namespace stampctl_serve {

struct Request {
    const httplib::Request& http;
    const nlohmann::json& body;  // checked against the route's fields
};

// One field of a request body.
struct Field {
    enum class Kind { Integer, Boolean, Text, Point, Seals, State };
    std::string name;
    Kind kind;
    long min = 0, max = 0;  // Integer and Point coordinates; Text: length
    bool required = false;
};

struct Route {
    std::string method;
    std::string pattern;  // a regular expression of the path
    Role role;
    std::string command;  // as `stampctl --json` names it
    bool audited;         // changes the world: recorded in the audit trail
    std::vector<Field> fields;
    std::function<Outcome(const Request&)> run;
    const char* binary = nullptr;  // content type when a success answers with `text` as a file
};

class Routes {
public:
    Routes(MachineOwner& machine, Photos& photos, Events& events);
    const std::vector<Route>& all() const { return m_routes; }
    // Parses `text` into `body` as `route` wants it; false with the refusal in `refused`.
    bool readBody(const Route& route, const std::string& text, nlohmann::json& body, Outcome& refused) const;

private:
    Outcome photo();
    Outcome stamp(const Request& request);
    Outcome check(const Request& request);
    Outcome picture(const Request& request);

    MachineOwner& m_machine;
    Photos& m_photos;
    Events& m_events;
    std::atomic<int> m_stamps{0};
    std::vector<Route> m_routes;
};

}  // namespace stampctl_serve
