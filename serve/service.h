// `stampctl serve`: the machine behind HTTP with JSON under /v1 (docs/service.md), for the
// browser-based systems of a site. On the public C functions only, like the command-line tool.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "shapes/outcome.h"

namespace stampctl_serve {

using stampctl_shapes::Outcome;

constexpr const char* kDefaultListen = "127.0.0.1:8470";

struct ServeSettings {
    std::string listen = kDefaultListen;  // HOST:PORT, [IPv6]:PORT; port 0 picks a free one
    std::string tlsCert, tlsKey;          // both: HTTPS
    std::string code;                     // the machine's security code; never printed
    std::string wwwDir;                   // the page's files, served at /
    std::string originsFile;              // the allow-list; empty: the base directory's
    std::chrono::milliseconds pollInterval{1000};
    std::chrono::seconds clientTimeout{10};  // a client that sends or reads nothing this long is dropped
};

class Service {
public:
    explicit Service(ServeSettings settings);
    ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    // Checks the settings, connects to the machine and starts answering on threads of its own.
    // The port it listens on, or -1 with the reason in `error`.
    int start(std::string& error);
    // Stops answering and lets go of the machine.
    void stop();

    class Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

// Runs the service until SIGTERM or SIGINT; its outcome says why it ended.
Outcome serve(const ServeSettings& settings);

// The first line of a file holding the security code (--code-file).
bool readCodeFile(const std::string& path, std::string& code, std::string& error);

// `stampctl token add|list|revoke`, each recorded in the audit trail when it changes the file.
Outcome addToken(const std::string& name, const std::string& role);
Outcome listTokens();
Outcome revokeToken(const std::string& name);

}  // namespace stampctl_serve
