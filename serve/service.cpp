#include "serve/service.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include <httplib.h>

#include "serve/access.h"
#include "serve/answers.h"
#include "serve/audit.h"
#include "serve/events.h"
#include "serve/machine_owner.h"
#include "serve/photos.h"
#include "serve/routes.h"
#include "serve/tokens.h"

namespace stampctl_serve {

namespace {

using nlohmann::json;
using stampctl_shapes::envelopeLine;

constexpr size_t kMaxBody = 64 * 1024;
// Workers for connections: status readers, event listeners and operations waiting their turn.
constexpr size_t kWorkers = 96;
constexpr time_t kKeepAliveSeconds = 5;
constexpr size_t kKeepAliveRequests = 10000;
constexpr auto kPing = std::chrono::seconds(15);
constexpr const char* kJson = "application/json; charset=utf-8";

bool splitListen(const std::string& listen, std::string& host, int& port)
{
    const size_t colon = listen.rfind(':');
    if (colon == std::string::npos || colon + 1 == listen.size()) return false;
    host = listen.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    const std::string digits = listen.substr(colon + 1);
    if (host.empty() || !std::all_of(digits.begin(), digits.end(), ::isdigit) || digits.size() > 5) return false;
    port = std::stoi(digits);
    return port <= 65535;
}

// cpp-httplib listens with a backlog of five pending connections, and the connections beyond
// wait for a SYN retransmission (a second) when fifty clients arrive at once. Listening again on
// the bound socket raises the backlog; the socket is the one listening on `port`.
void widenBacklog(int port)
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::atoi(entry.path().filename().c_str());
        int listening = 0;
        socklen_t size = sizeof listening;
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || !listening) continue;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) continue;
        const int bound = address.ss_family == AF_INET ? ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port)
                                                       : ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
        if (bound == port) ::listen(fd, SOMAXCONN);
    }
}

}  // namespace

class Service::Impl {
public:
    explicit Impl(ServeSettings settings)
        : m_settings(std::move(settings)),
          m_tokens(tokenFilePath()),
          m_audit(auditDir()),
          m_machine(m_events, MachineSettings{m_settings.code, m_settings.pollInterval, 8}),
          m_routes(m_machine, m_photos, m_events)
    {
    }

    int start(std::string& error);
    void stop();

private:
    httplib::Server::HandlerResponse guard(const httplib::Request& req, httplib::Response& res);
    void answer(const Route& route, const httplib::Request& req, httplib::Response& res);
    void events(const httplib::Request& req, httplib::Response& res);
    void send(const httplib::Request& req, httplib::Response& res, const std::string& command, const Outcome& outcome,
              int status = 0);
    void allowOrigin(const httplib::Request& req, httplib::Response& res);

    ServeSettings m_settings;
    std::string m_host;
    TokenFile m_tokens;
    Audit m_audit;
    Events m_events;
    Photos m_photos;
    MachineOwner m_machine;
    Routes m_routes;
    Access m_access;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_listener;
    bool m_started = false;
};

int Service::Impl::start(std::string& error)
{
    int port = 0;
    if (!splitListen(m_settings.listen, m_host, port)) {
        error = "--listen wants HOST:PORT, e.g. " + std::string(kDefaultListen) + ", not " + m_settings.listen;
        return -1;
    }
    const bool tls = !m_settings.tlsCert.empty() || !m_settings.tlsKey.empty();
    if (tls && (m_settings.tlsCert.empty() || m_settings.tlsKey.empty())) {
        error = "HTTPS needs both --tls-cert and --tls-key";
        return -1;
    }
    if (!tls && !isLoopbackHost(m_host)) {
        error = "refusing to listen on " + m_host +
                " without TLS: anyone on the network could watch tokens pass; give --tls-cert and --tls-key, "
                "or listen on a loopback address (127.0.0.1, ::1)";
        return -1;
    }
    const std::string originsFile =
        m_settings.originsFile.empty() ? stampctl_shapes::baseDir() + "/serve/origins" : m_settings.originsFile;
    if (!m_access.load(m_host, originsFile, error)) return -1;

    if (tls) {
        m_server = std::make_unique<httplib::SSLServer>(m_settings.tlsCert.c_str(), m_settings.tlsKey.c_str());
        if (!m_server->is_valid()) {
            error = "cannot use the certificate " + m_settings.tlsCert + " with the key " + m_settings.tlsKey;
            return -1;
        }
    } else {
        m_server = std::make_unique<httplib::Server>();
    }
    httplib::Server& server = *m_server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    server.set_payload_max_length(kMaxBody);
    server.set_read_timeout(m_settings.clientTimeout.count(), 0);
    server.set_write_timeout(m_settings.clientTimeout.count(), 0);
    server.set_keep_alive_timeout(kKeepAliveSeconds);
    // Clients that poll keep their connection rather than queue up again in the short backlog
    // of pending connections.
    server.set_keep_alive_max_count(kKeepAliveRequests);
    server.set_default_headers({{"X-Content-Type-Options", "nosniff"}, {"Cache-Control", "no-store"}});
    server.set_pre_routing_handler(
        [this](const httplib::Request& req, httplib::Response& res) { return guard(req, res); });
    // What the server refuses by itself (a body too large, no such route) gets the same envelope.
    server.set_error_handler(
        httplib::Server::HandlerWithResponse([this](const httplib::Request& req, httplib::Response& res) {
            if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
            const int status = res.status;
            Outcome outcome = status == 413   ? tooLarge()
                              : status == 404 ? notFound("no route " + req.method + " " + req.path)
                                              : badRequest("the request is malformed (HTTP " + std::to_string(status) +
                                                           "); a POST without a body still says Content-Length: 0");
            send(req, res, "", outcome, status);
            return httplib::Server::HandlerResponse::Handled;
        }));
    for (const Route& route : m_routes.all()) {
        auto handler = [this, &route](const httplib::Request& req, httplib::Response& res) { answer(route, req, res); };
        if (route.method == "GET")
            server.Get(route.pattern, handler);
        else
            server.Post(route.pattern, handler);
    }
    server.Get("/v1/events", [this](const httplib::Request& req, httplib::Response& res) { events(req, res); });
    if (!m_settings.wwwDir.empty() && std::filesystem::is_directory(m_settings.wwwDir))
        server.set_mount_point("/", m_settings.wwwDir);

    const int bound = port == 0 ? server.bind_to_any_port(m_host) : (server.bind_to_port(m_host, port) ? port : -1);
    if (bound < 0) {
        error = "cannot listen on " + m_settings.listen + ": " + std::strerror(errno);
        return -1;
    }
    widenBacklog(bound);
    m_machine.start();
    m_listener = std::thread([&server] { server.listen_after_bind(); });
    m_started = true;
    return bound;
}

void Service::Impl::stop()
{
    if (!m_started) return;
    m_started = false;
    m_events.closeAll();
    m_server->stop();
    if (m_listener.joinable()) m_listener.join();
    m_machine.stop();
}

// Before anything else: the Host (against rebinding names), the Origin, and preflights.
httplib::Server::HandlerResponse Service::Impl::guard(const httplib::Request& req, httplib::Response& res)
{
    using R = httplib::Server::HandlerResponse;
    const std::string host = req.get_header_value("Host");
    if (!m_access.hostAllowed(host)) {
        send(req, res, "", forbidden("the Host " + host + " is not this service's address"));
        return R::Handled;
    }
    if (req.has_header("Origin") && !m_access.originAllowed(req.get_header_value("Origin"), host)) {
        send(req, res, "", forbidden("the origin " + req.get_header_value("Origin") + " is not allowed"));
        return R::Handled;
    }
    if (req.method == "OPTIONS") {
        allowOrigin(req, res);
        res.set_header("Access-Control-Allow-Methods", "GET, POST");
        res.set_header("Access-Control-Allow-Headers", "Authorization, Content-Type");
        res.set_header("Access-Control-Max-Age", "600");
        res.status = 204;
        return R::Handled;
    }
    return R::Unhandled;
}

void Service::Impl::allowOrigin(const httplib::Request& req, httplib::Response& res)
{
    if (!req.has_header("Origin")) return;
    res.set_header("Access-Control-Allow-Origin", req.get_header_value("Origin"));
    res.set_header("Vary", "Origin");
}

void Service::Impl::send(const httplib::Request& req, httplib::Response& res, const std::string& command,
                         const Outcome& outcome, int status)
{
    if (status == 0) {
        const bool absent = outcome.data.is_object() && outcome.data.value("connected", true) == false;
        status = absent ? 503 : httpStatusOf(outcome.code);
    }
    res.status = status;
    if (status == 401) res.set_header("WWW-Authenticate", "Bearer");
    if (outcome.code == kCodeBusy) res.set_header("Retry-After", "2");
    allowOrigin(req, res);
    res.set_content(envelopeLine(command, outcome) + "\n", kJson);
}

namespace {

struct Caller {
    std::optional<TokenEntry> token;
    Outcome refusal;
    bool refused = false;
};

std::string bearerOf(const httplib::Request& req)
{
    const std::string header = req.get_header_value("Authorization");
    const std::string scheme = "Bearer ";
    if (header.size() <= scheme.size() || header.compare(0, scheme.size(), scheme) != 0) return {};
    return header.substr(scheme.size());
}

}  // namespace

void Service::Impl::answer(const Route& route, const httplib::Request& req, httplib::Response& res)
{
    Caller caller;
    const std::string bearer = bearerOf(req);
    caller.token = bearer.empty() ? std::nullopt : m_tokens.find(bearer);
    if (bearer.empty()) {
        caller.refusal = unauthorized("no Authorization: Bearer token");
        caller.refused = true;
    } else if (!caller.token) {
        caller.refusal = unauthorized("the token is unknown or revoked");
        caller.refused = true;
    } else if (static_cast<int>(caller.token->role) < static_cast<int>(route.role)) {
        caller.refusal = forbidden(std::string("the role ") + roleName(caller.token->role) + " may not; it takes " +
                                   roleName(route.role));
        caller.refused = true;
    }

    json body = json::object();
    Outcome outcome;
    if (caller.refused) {
        outcome = caller.refusal;
    } else if (!m_routes.readBody(route, req.body, body, outcome)) {
        // `outcome` says what is wrong with the body.
    } else if (route.audited && ::access(auditDir().c_str(), W_OK) != 0) {
        outcome = stampctl_shapes::failure(-206);
        outcome.detail = "the audit trail cannot be written in " + auditDir() + "; nothing was done";
    } else {
        Request request{req, body};
        outcome = route.run(request);
    }

    if (route.audited) {
        const int status = outcome.data.is_object() && outcome.data.value("connected", true) == false
                               ? 503
                               : httpStatusOf(outcome.code);
        nlohmann::ordered_json record;
        record["token"] = caller.token ? json(caller.token->name) : json(nullptr);
        record["role"] = caller.token ? json(roleName(caller.token->role)) : json(nullptr);
        record["client"] = req.remote_addr;
        record["request"] = {{"method", req.method}, {"path", req.path}, {"body", body}};
        record["result"] = {{"status", status},
                            {"code", outcome.code},
                            {"message", stampctl_shapes::messageOf(outcome)},
                            {"data", outcome.data}};
        if (!m_audit.record(record))
            outcome.detail += (outcome.detail.empty() ? "" : "; ") + std::string("not recorded in the audit trail");
    }
    if (outcome.code == 0 && route.binary) {
        // The route answered with a file instead of an envelope: a photo.
        res.status = 200;
        allowOrigin(req, res);
        res.set_content(outcome.text, route.binary);
        return;
    }
    send(req, res, route.command, outcome);
}

void Service::Impl::events(const httplib::Request& req, httplib::Response& res)
{
    const std::string bearer = bearerOf(req);
    const auto token = bearer.empty() ? std::nullopt : m_tokens.find(bearer);
    if (!token) {
        send(req, res, "events",
             unauthorized(bearer.empty() ? "no Authorization: Bearer token" : "the token is unknown or revoked"));
        return;
    }
    auto listener = m_events.listen();
    const Outcome now = m_machine.status();
    if (m_machine.connected())
        m_events.greet(listener, "status", now.data);
    else
        m_events.greet(listener, "connection",
                       {{"connected", false}, {"code", now.code}, {"message", stampctl_shapes::messageOf(now)}});
    allowOrigin(req, res);
    res.set_chunked_content_provider(
        "text/event-stream",
        [listener](size_t, httplib::DataSink& sink) {
            std::optional<std::string> text = listener->next(kPing);
            if (!text && listener->closed()) {
                sink.done();
                return true;
            }
            const std::string chunk = text ? *text : ": ping\n\n";
            return sink.write(chunk.data(), chunk.size());
        },
        [this, listener](bool) { m_events.leave(listener); });
}

Service::Service(ServeSettings settings) : m_impl(std::make_unique<Impl>(std::move(settings))) {}
Service::~Service() { stop(); }
int Service::start(std::string& error) { return m_impl->start(error); }
void Service::stop() { m_impl->stop(); }

bool readCodeFile(const std::string& path, std::string& code, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the code file " + path;
        return false;
    }
    std::getline(in, code);
    while (!code.empty() && (code.back() == '\r' || code.back() == ' ')) code.pop_back();
    return true;
}

Outcome serve(const ServeSettings& settings)
{
    // The signals wait for the thread below; every thread started from here on inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A client gone mid-answer must not end the service.
    ::signal(SIGPIPE, SIG_IGN);

    Service service(settings);
    std::string error;
    const int port = service.start(error);
    if (port < 0) return stampctl_shapes::refusal(error);
    std::string host, ignored;
    int unused = 0;
    splitListen(settings.listen, host, unused);
    const bool tls = !settings.tlsCert.empty();
    const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    const std::string url = std::string(tls ? "https://" : "http://") + shown + ":" + std::to_string(port) + "/";
    const std::string line = "stampctl serve: listening on " + url + "\n";
    (void)!::write(STDERR_FILENO, line.data(), line.size());

    int signal = 0;
    sigwait(&stopSignals, &signal);
    service.stop();
    Outcome outcome;
    outcome.data = {{"url", url}, {"signal", signal == SIGTERM ? "SIGTERM" : "SIGINT"}};
    outcome.text = "stopped";
    outcome.confirmation = true;
    return outcome;
}

namespace {

std::string userName()
{
    if (const struct passwd* pw = ::getpwuid(::getuid())) return pw->pw_name;
    return std::to_string(::getuid());
}

// Token changes go into the audit trail like the acts they allow.
void auditTokenChange(const std::string& act, const std::string& name, const std::string& role, const Outcome& outcome)
{
    nlohmann::ordered_json record;
    record["token"] = nullptr;
    record["user"] = userName();
    record["client"] = "local";
    record["request"] = {{"command", act}, {"body", {{"name", name}, {"role", role}}}};
    record["result"] = {{"code", outcome.code}, {"message", stampctl_shapes::messageOf(outcome)}};
    Audit(auditDir()).record(record);
}

}  // namespace

Outcome addToken(const std::string& name, const std::string& role)
{
    const auto r = roleNamed(role);
    if (!r) return stampctl_shapes::refusal("the role is viewer, operator or engineer, not " + role);
    std::string error;
    TokenFile file(tokenFilePath());
    const std::string token = file.add(name, *r, error);
    Outcome outcome = token.empty() ? stampctl_shapes::refusal(error) : Outcome{};
    auditTokenChange("token add", name, role, outcome);
    if (token.empty()) return outcome;
    outcome.data = {{"name", name}, {"role", role}, {"token", token}};
    outcome.text = token + "\n(shown only now: the service keeps only its hash. Give it to " + name +
                   " as \"Authorization: Bearer " + token + "\".)";
    return outcome;
}

Outcome listTokens()
{
    std::string error;
    const auto entries = TokenFile(tokenFilePath()).list(error);
    if (!error.empty()) return stampctl_shapes::refusal(error);
    Outcome outcome;
    json list = json::array();
    std::string text;
    for (const TokenEntry& e : entries) {
        list.push_back({{"name", e.name}, {"role", roleName(e.role)}, {"created", e.created}});
        text += e.name + "  " + roleName(e.role) + "  " + e.created + "\n";
    }
    outcome.data = {{"tokens", list}};
    outcome.text = text.empty() ? "(no tokens)" : text;
    return outcome;
}

Outcome revokeToken(const std::string& name)
{
    std::string error;
    const bool revoked = TokenFile(tokenFilePath()).revoke(name, error);
    Outcome outcome = revoked ? Outcome{} : stampctl_shapes::refusal(error);
    auditTokenChange("token revoke", name, "", outcome);
    if (!revoked) return outcome;
    outcome.data = {{"name", name}, {"revoked", true}};
    outcome.text = "token " + name + " revoked";
    outcome.confirmation = true;
    return outcome;
}

}  // namespace stampctl_serve
