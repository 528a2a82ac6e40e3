// The HTTP service in this process on the simulated machine, on loopback on a free port: who may
// do what, refusals that never reach the machine, many readers beside two stamps, live events,
// and (as its own process) a kill in the middle of a stamp.
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>
#include <filesystem>
#include <fstream>
#include <thread>

#include <httplib.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "serve/audit.h"
#include "serve/service.h"
#include "serve/tokens.h"
#include "stampctl/sim/sim_machine.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;
using stampctl::sim::machine;

struct Reply {
    int status = 0;
    json body;
    httplib::Headers headers;
};

// What the event stream said so far, as (event, data) pairs, with a wait for the next one.
class EventLog {
public:
    void feed(const char* data, size_t length)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_text.append(data, length);
    }
    std::vector<std::pair<std::string, json>> all()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        std::vector<std::pair<std::string, json>> events;
        for (size_t at = 0, end; (end = m_text.find("\n\n", at)) != std::string::npos; at = end + 2) {
            const std::string block = m_text.substr(at, end - at);
            const size_t name = block.find("event: "), payload = block.find("data: ");
            if (name == std::string::npos || payload == std::string::npos) continue;
            events.emplace_back(block.substr(name + 7, block.find('\n', name) - name - 7),
                                json::parse(block.substr(payload + 6)));
        }
        return events;
    }
    // Waits until an event `name` whose data holds every entry of `part` arrived.
    bool await(const std::string& name, const json& part)
    {
        for (int i = 0; i < 1000; ++i, std::this_thread::sleep_for(10ms)) {
            for (const auto& [n, d] : all()) {
                bool held = n == name;
                for (const auto& [key, value] : part.items()) held = held && d.value(key, json()) == value;
                if (held) return true;
            }
        }
        return false;
    }

private:
    std::mutex m_lock;
    std::string m_text;
};

// A reply's HTTP status and result code.
std::pair<int, json> outcome(const Reply& r) { return {r.status, r.body["code"]}; }

std::vector<json> auditLines(const std::string& base)
{
    std::vector<json> lines;
    for (const auto& entry : fs::directory_iterator(base + "/log")) {
        if (entry.path().filename().string().rfind("audit_", 0) != 0) continue;
        for (const std::string& line : stampctl::test::splitLines(stampctl::test::readFile(entry.path())))
            if (!line.empty()) lines.push_back(json::parse(line));  // throws on a half line
    }
    return lines;
}

class Serve : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("STAMPCTL_SIMULATOR", "1", 1);
        stampctl_serve::TokenFile file(stampctl_serve::tokenFilePath());
        std::string error;
        for (const char* role : {"viewer", "operator", "engineer"})
            tokens[role] = file.add(role, *stampctl_serve::roleNamed(role), error);
        std::ofstream(base.file("serve/origins")) << "# the approval system\nhttps://approvals.example.cn\n";
    }
    void TearDown() override
    {
        if (service) service->stop();
        if (stream.joinable()) stream.join();
    }
    void start(std::chrono::milliseconds poll = 100ms)
    {
        stampctl_serve::ServeSettings settings;
        settings.listen = "127.0.0.1:0";
        settings.pollInterval = poll;
        settings.clientTimeout = 1s;
        service = std::make_unique<stampctl_serve::Service>(settings);
        std::string error;
        port = service->start(error);
        ASSERT_GT(port, 0) << error;
    }
    Reply call(const std::string& method, const std::string& path, const std::string& token = "operator",
               const std::string& body = "", httplib::Headers headers = {})
    {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(120, 0);       // a stamp waits for the one before it, slower under TSan
        client.set_connection_timeout(10, 0);  // as a browser waits, not 300 ms
        if (tokens.count(token)) headers.emplace("Authorization", "Bearer " + tokens[token]);
        const auto r = method == "GET"       ? client.Get(path.c_str(), headers)
                       : method == "OPTIONS" ? client.Options(path.c_str(), headers)
                                             : client.Post(path.c_str(), headers, body, "application/json");
        if (!r) return {};
        return {r->status, json::parse(r->body, nullptr, false), r->headers};
    }
    void listen()
    {
        stream = std::thread([this] {
            httplib::Client client("127.0.0.1", port);
            client.set_read_timeout(60, 0);
            client.Get("/v1/events", {{"Authorization", "Bearer " + tokens["viewer"]}},
                       [this](const char* data, size_t length) {
                           events.feed(data, length);
                           return true;
                       });
        });
        ASSERT_TRUE(events.await("status", json::object()));
    }

    stampctl::test::TempBaseDir base;
    std::map<std::string, std::string> tokens;
    std::unique_ptr<stampctl_serve::Service> service;
    int port = 0;
    EventLog events;
    std::thread stream;
};

// Each kind of request with the least role it needs; every role below is refused, and a token's
// role is checked before anything reaches the machine.
TEST_F(Serve, EachRoleAgainstEachKindOfRequest)
{
    start();
    const std::vector<std::tuple<std::string, std::string, std::string, std::string>> requests = {
        {"GET", "/v1/status", "", "viewer"},
        {"GET", "/v1/info", "", "viewer"},
        {"POST", "/v1/photos", "", "viewer"},
        {"POST", "/v1/light", R"({"state": "on"})", "operator"},
        {"POST", "/v1/stamps", R"({"seal": 1, "mm": [60, 100]})", "operator"},
        {"POST", "/v1/alarms/buzzer", R"({"state": "off"})", "engineer"},
        {"GET", "/v1/logs/openings", "", "engineer"},
        {"POST", "/v1/logs/alarms/clear", "", "engineer"},
        {"GET", "/v1/calibration", "", "engineer"},
        {"POST", "/v1/reset", "", "engineer"},
        {"POST", "/v1/doors/paper/open", R"({"seconds": 3})", "operator"},  // last: it stays open
    };
    const std::vector<std::string> roles = {"nobody", "viewer", "operator", "engineer"};
    for (const auto& [method, path, body, least] : requests) {
        const auto needed = std::find(roles.begin(), roles.end(), least) - roles.begin();
        for (size_t r = 0; r < roles.size(); ++r) {
            const Reply reply = call(method, path, roles[r], body);
            SCOPED_TRACE(method + " " + path + " as " + roles[r]);
            const int expected = r == 0 ? 401 : static_cast<long>(r) < needed ? 403 : 200;
            EXPECT_EQ(reply.status, expected) << reply.body;
            EXPECT_TRUE(reply.body.contains("code") && reply.body.contains("message"));
        }
    }
    // Automatic calibration needs a blank sheet: on the printed letter it fails, but it ran.
    EXPECT_EQ(call("POST", "/v1/calibration/auto", "operator").status, 403);
    EXPECT_EQ(call("POST", "/v1/calibration/auto", "engineer").body["command"], "calibrate");
    EXPECT_GE(machine().stamps().size(), 2u);  // the operator's and the engineer's
}

// Missing, wrong and revoked tokens; foreign origins and rebinding hosts; preflights for the
// approval system only.
TEST_F(Serve, CallersThatAreNotWhoTheyShouldBeAreRefused)
{
    start();
    const std::string at = std::to_string(port), approvals = "https://approvals.example.cn";
    const std::vector<std::tuple<std::string, std::string, httplib::Headers, int>> calls = {
        {"GET", "nobody", {}, 401},
        {"GET", "nobody", {{"Authorization", "Bearer stk_0123"}}, 401},
        {"GET", "nobody", {{"Authorization", "Basic " + tokens["viewer"]}}, 401},
        {"GET", "viewer", {{"Origin", "https://evil.example"}}, 403},
        {"OPTIONS", "nobody", {{"Origin", "https://evil.example"}}, 403},
        {"GET", "viewer", {{"Origin", "http://127.0.0.1:" + at}}, 200},
        {"OPTIONS", "nobody", {{"Origin", approvals}}, 204},
        {"GET", "viewer", {{"Host", "localhost:" + at}}, 200},
    };
    for (size_t i = 0; i < calls.size(); ++i) {
        const auto& [method, token, headers, status] = calls[i];
        EXPECT_EQ(call(method, "/v1/status", token, "", headers).status, status) << "call " << i;
    }
    const Reply listed = call("GET", "/v1/status", "viewer", "", {{"Origin", approvals}});
    EXPECT_EQ(std::pair(listed.status, listed.headers.find("Access-Control-Allow-Origin")->second),
              std::pair(200, approvals));
    EXPECT_EQ(outcome(call("GET", "/v1/status", "viewer", "", {{"Host", "evil.example:" + at}})),
              std::pair(403, json(-9403)));
    std::string error;
    ASSERT_TRUE(stampctl_serve::TokenFile(stampctl_serve::tokenFilePath()).revoke("viewer", error));
    EXPECT_EQ(outcome(call("GET", "/v1/status", "viewer")), std::pair(401, json(-9401)));
    // The file holds hashes only, and only its owner and group read it.
    const std::string file = stampctl::test::readFile(stampctl_serve::tokenFilePath());
    EXPECT_EQ(file.find(tokens["operator"]), std::string::npos);
    EXPECT_NE(file.find(stampctl_serve::sha256Hex(tokens["operator"])), std::string::npos);
    EXPECT_EQ(fs::status(stampctl_serve::tokenFilePath()).permissions() & fs::perms::others_all, fs::perms::none);
}

TEST_F(Serve, BadBodiesNeverReachTheMachine)
{
    start();
    ASSERT_EQ(call("POST", "/v1/photos").status, 200);  // the camera runs; the machine is idle
    const size_t frames = machine().receivedFrames().size();
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"/v1/stamps", "{\"seal\": 1, \"mm\": [60, 100]"},
        {"/v1/stamps", "[1, 2]"},
        {"/v1/stamps", R"({"seal": 1, "mm": [60, 100], "force": true})"},
        {"/v1/stamps", R"({"seal": 7, "mm": [60, 100]})"},
        {"/v1/stamps", R"({"seal": "1", "mm": [60, 100]})"},
        {"/v1/stamps", R"({"seal": 1, "angle": -1, "mm": [60, 100]})"},
        {"/v1/stamps", R"({"seal": 1, "mm": [60]})"},
        {"/v1/stamps", R"({"seal": 1, "pixel": [60, 100]})"},
        {"/v1/stamps", R"({"seal": 1})"},
        {"/v1/doors/side/open", R"({"seconds": 65536})"},
        {"/v1/light", R"({"state": "bright"})"},
        {"/v1/reset", R"({"now": true})"},
    };
    for (const auto& [path, body] : bad) {
        const Reply reply = call("POST", path, "engineer", body);
        EXPECT_EQ(outcome(reply), std::pair(400, json(-91))) << path << " " << body;
        EXPECT_TRUE(reply.body.contains("detail")) << body;
    }
    EXPECT_EQ(
        outcome(call("POST", "/v1/stamps", "operator", R"({"seal": 1, "photo": ")" + std::string(70000, 'a') + "\"}")),
        std::pair(413, json(-9413)));
    EXPECT_EQ(machine().receivedFrames().size(), frames);
    // Every refused act is on record, and none as done.
    for (const json& line : auditLines(base.path())) EXPECT_NE(line["result"]["code"], 0) << line;
}

// A client that sends its headers and stalls is dropped, and others are served meanwhile.
TEST_F(Serve, StalledClientsTimeOut)
{
    start();
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string head = "POST /v1/reset HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 100\r\n\r\n{";
    ASSERT_GT(::send(s, head.data(), head.size(), 0), 0);
    EXPECT_EQ(call("POST", "/v1/doors/paper/open").status, 200);
    char buffer[512];
    const auto begun = std::chrono::steady_clock::now();
    ::recv(s, buffer, sizeof buffer, 0);  // the server hangs up
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 5s);
    ::close(s);
}

TEST_F(Serve, PhotosByIdAndStampsOnTheLastOne)
{
    start();
    const Reply first = call("POST", "/v1/photos", "viewer");
    ASSERT_EQ(first.status, 200) << first.body;
    const std::string id = first.body["data"]["id"];
    httplib::Client client("127.0.0.1", port);
    const auto jpeg = client.Get(("/v1/photos/" + id).c_str(), {{"Authorization", "Bearer " + tokens["viewer"]}});
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->get_header_value("Content-Type"), "image/jpeg");
    EXPECT_EQ(static_cast<long long>(jpeg->body.size()), first.body["data"]["bytes"]);
    EXPECT_EQ(call("GET", "/v1/photos/..%2F..%2Fserve%2Ftokens", "viewer").status, 404);
    const Reply check = call("GET", "/v1/photos/" + id + "/check?x=800&y=1200", "viewer");
    EXPECT_EQ(check.body["data"]["position"]["code"], 0) << check.body;

    const std::string stamp = R"({"seal": 2, "angle": 90, "pixel": [800, 1200], "photo": ")" + id + "\"}";
    const Reply done = call("POST", "/v1/stamps", "operator", stamp);
    EXPECT_EQ(done.status, 200) << done.body;
    EXPECT_EQ(done.body["data"]["photo"], id);
    ASSERT_EQ(call("POST", "/v1/photos", "viewer").status, 200);
    EXPECT_EQ(outcome(call("POST", "/v1/stamps", "operator", stamp)), std::pair(409, json(-207)));
    EXPECT_EQ(machine().stamps().size(), 1u);
}

// Fifty readers while two stamp: every read answered, the stamps one after the other, and one
// audit line each.
TEST_F(Serve, FiftyReadersWhileTwoStamp)
{
    start(1000ms);
    listen();
    std::atomic<int> failures{0}, reads{0};
    std::atomic<bool> stamping{true};
    std::vector<std::thread> readers;
    for (int i = 0; i < 50; ++i) {
        readers.emplace_back([&] {
            httplib::Client client("127.0.0.1", port);
            client.set_read_timeout(30, 0);
            client.set_connection_timeout(10, 0);
            while (stamping) {
                const auto r = client.Get("/v1/status", {{"Authorization", "Bearer " + tokens["viewer"]}});
                failures += !r || r->status != 200;
                ++reads;
            }
        });
    }
    std::vector<std::thread> stampers;
    for (int seal : {1, 3})
        stampers.emplace_back([&, seal] {
            const Reply r =
                call("POST", "/v1/stamps", "operator", R"({"seal": )" + std::to_string(seal) + R"(, "mm": [60, 100]})");
            EXPECT_EQ(r.status, 200) << r.body;
        });
    for (auto& t : stampers) t.join();
    stamping = false;
    for (auto& t : readers) t.join();
    EXPECT_EQ(failures, 0);
    EXPECT_GT(reads, 50);
    ASSERT_EQ(machine().stamps().size(), 2u);
    ASSERT_TRUE(events.await("stamp", {{"stamp", 2}, {"state", "done"}}));
    std::vector<std::string> order;
    for (const auto& [name, data] : events.all())
        if (name == "stamp" && data["state"] != "queued") order.push_back(data["state"]);
    EXPECT_EQ(order, (std::vector<std::string>{"pressing", "done", "pressing", "done"}));
    int lines = 0;
    for (const json& line : auditLines(base.path())) lines += line["request"]["path"] == "/v1/stamps";
    EXPECT_EQ(lines, 2);
}

TEST_F(Serve, EventsForUnplugAndReplug)
{
    start();
    listen();
    machine().setPlugged(false);
    EXPECT_TRUE(events.await("connection", {{"connected", false}}));
    const Reply absent = call("GET", "/v1/status", "viewer");
    EXPECT_EQ(std::pair(absent.status, absent.body["data"]["connected"]), std::pair(503, json(false)));
    machine().setPlugged(true);
    EXPECT_TRUE(events.await("connection", {{"connected", true}}));
    EXPECT_EQ(call("POST", "/v1/doors/side/open").status, 200);
}

// The service as a user starts it, killed in the middle of a stamp: its audit file holds whole
// lines only, including the half line an earlier power loss left.
TEST_F(Serve, KilledDuringAStampLeavesWholeAuditLines)
{
    const std::string audit = stampctl_serve::Audit(base.path() + "/log").currentFile();
    std::ofstream(audit) << R"({"time":"2026-12-01T00:00:00.000Z","token":"a"})"
                         << "\n"
                         << R"({"time":"2026-12-01T0)";
    const std::string errors = base.file("serve.err");
    const pid_t child = ::fork();
    if (child == 0) {
        ::freopen(errors.c_str(), "w", stderr);
        ::execl(STAMPCTL_CLI, STAMPCTL_CLI, "serve", "--simulator", "--listen", "127.0.0.1:0", nullptr);
        ::_exit(127);
    }
    for (int i = 0; i < 200 && port == 0; ++i) {
        std::this_thread::sleep_for(50ms);
        const std::string said = stampctl::test::readFile(errors);
        if (const size_t at = said.find("127.0.0.1:"); at != std::string::npos)
            port = std::atoi(said.c_str() + at + 10);
    }
    ASSERT_GT(port, 0);
    listen();
    EXPECT_EQ(call("POST", "/v1/doors/paper/open").status, 200);
    std::thread stamp([&] { call("POST", "/v1/stamps", "operator", R"({"seal": 1, "mm": [60, 100]})"); });
    EXPECT_TRUE(events.await("stamp", {{"state", "pressing"}}));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    stamp.join();
    std::vector<json> lines;
    ASSERT_NO_THROW(lines = auditLines(base.path()));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1]["request"]["path"], "/v1/doors/paper/open");
}

}  // namespace
