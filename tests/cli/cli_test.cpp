// The stampctl program itself, run as a user runs it, on the simulated machine: every command's
// success, its failure when no machine answers or the code is wrong, the parser's refusals, and
// what --json prints.
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QMap>
#include <QString>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "calibration_file.h"
#include "tests/support/test_env.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Args = std::vector<std::string>;
using Env = std::map<std::string, std::string>;

struct Exit {
    int status = -1;
    std::string out, err;
    json parsed() const { return json::parse(out); }
};

// A fresh files directory per test; the program sees no STAMPCTL_ variable but those given.
class Stampctl : public ::testing::Test {
protected:
    Exit run(const Args& args, const Env& extra = {}) { return start(args, extra, false); }
    // Both streams of the program on one terminal, as an engineer at a console sees them.
    std::string onTerminal(const Args& args) { return start(args, {}, true).out; }

    // The program, interrupted once the trace shows `mark` twice (the first may come from connecting).
    Exit runInterrupted(const Args& args, const std::string& mark) { return start(args, {}, false, mark); }

    Exit start(const Args& args, const Env& extra, bool terminal, const std::string& interruptAt = "")
    {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("STAMPCTL_", 0) != 0) env.emplace_back(*e);
        env.push_back("STAMPCTL_BASE_DIR=" + base.string());
        for (const auto& [key, value] : extra) env.push_back(key + "=" + value);
        std::vector<char*> argv{const_cast<char*>(STAMPCTL_CLI)}, envp;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        for (auto& e : env) envp.push_back(e.data());
        argv.push_back(nullptr), envp.push_back(nullptr);

        const fs::path out = base / "stdout", err = base / "stderr";
        int terminalSide = -1;
        const pid_t child = terminal ? ::forkpty(&terminalSide, nullptr, nullptr, nullptr) : ::fork();
        if (child == 0) {
            if (!terminal) {
                ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
                ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
            }
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        const auto marked = [&] {
            const std::string all = traces();
            const size_t first = all.find(interruptAt);
            return first != std::string::npos && all.find(interruptAt, first + 1) != std::string::npos;
        };
        if (!interruptAt.empty()) {
            for (int i = 0; i < 1000 && !marked(); ++i) ::usleep(10000);
            ::kill(child, SIGINT);
        }
        Exit r;
        char buffer[4096];
        for (ssize_t n; terminal && (n = ::read(terminalSide, buffer, sizeof buffer)) > 0;) r.out.append(buffer, n);
        int status = 0;
        ::waitpid(child, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (terminal) {
            ::close(terminalSide);
        } else {
            r.out = stampctl::test::readFile(out), r.err = stampctl::test::readFile(err);
        }
        return r;
    }
    // Every trace line the library wrote while the program ran.
    std::string traces()
    {
        std::string all;
        for (const auto& entry : fs::directory_iterator(base / "log")) all += stampctl::test::readFile(entry.path());
        return all;
    }

    stampctl::test::TempBaseDir dir;
    const fs::path base = dir.path();
};

Args concat(Args a, const Args& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Every command that talks to the machine, with what its data holds on the simulated machine (by
// JSON pointer) and what else it leaves behind.
struct Command {
    Args args;
    json data;
    std::function<void(const json& data, const fs::path& base)> check = [](auto&&...) {};
};

void PrintTo(const Command& command, std::ostream* os) { *os << ::testing::PrintToString(command.args); }

const std::vector<Command>& machineCommands()
{
    static const std::vector<Command> commands = {
        {{"status"}, {{"/paper_door", "closed"}, {"/ready", true}}},
        {{"info"},
         {{"/number", "OV2026000117"},
          {"/slots", {true, true, true, true, true, true}},
          {"/rfid/2", {{"slot", 3}, {"tag", "3A7C13E3"}}}}},
        {{"door", "open", "paper", "--seconds", "5"}, {{"/seconds", 5}}},
        {{"light", "on", "--seconds", "0"}, {{"/light", "on"}}},
        {{"alarm", "buzzer", "on"}, {{"/state", "on"}}},
        {{"alarm", "anti-theft", "off"}, {{"/alarm", "anti-theft"}}},
        {{"alarm", "list"}, {{"/entries", json::array()}}},
        {{"alarm", "clear"}, {{"/cleared", true}}},
        {{"log", "openings", "--clear"}, {{"/cleared", true}}},
        {{"photo", "doc.jpg", "--full", "full.bmp"},
         json::object(),
         [](const json& d, const fs::path& base) {
             EXPECT_EQ(d["photo"], (base / "doc.jpg").string());
             EXPECT_GT(fs::file_size(base / "doc.jpg"), 10000u);
             EXPECT_GT(fs::file_size(base / "full.bmp"), fs::file_size(base / "doc.jpg"));
             EXPECT_EQ(std::distance(fs::directory_iterator(base), fs::directory_iterator()), 6);  // no leftovers
         }},
        {{"stamp", "--seal", "2", "--pixel", "800,1200", "--angle", "90"},
         {{"/pixel", {800, 1200}}},
         [](const json& d, auto) { EXPECT_TRUE(fs::exists(d["photo"].get<std::string>())); }},
        {{"stamp", "--seal", "1", "--mm", "60,100", "--across-page"}, {{"/across_page", true}}},
        {{"reset"}, {{"", json::object()}}},
        {{"calibrate", "--auto"},
         json::object(),
         [](const json& d, auto) {
             EXPECT_THAT(d["report"].get<std::string>(), ::testing::HasSubstr("1、2、3、4、5、6号章校准成功"));
             EXPECT_EQ(d["report"].get<std::string>().find('\r'), std::string::npos);
         }},
        {{"calibration", "show"}, {{"/a4_long_side", 2732}, {"/circles/3", {{"x", 1933}, {"y", 2737}}}}},
        {{"calibration", "export", "cal"},
         json::object(),
         [](const json&, const fs::path& base) {
             // sealtool reads what stampctl writes.
             const auto values = sealtool::importCalibration(QString::fromStdString((base / "cal.ini").string()));
             EXPECT_EQ(values.size(), sealtool::kCalibrationFieldCount);
             EXPECT_TRUE(values.contains({"lineEditBZW", "1922"}));
         }},
    };
    return commands;
}

class EachCommand : public Stampctl, public ::testing::WithParamInterface<Command> {
protected:
    void SetUp() override
    {
        Stampctl::SetUp();
        ASSERT_EQ(::chdir(base.c_str()), 0);  // relative output files land in the test's directory
    }
};

std::string nameOf(const ::testing::TestParamInfo<Command>& info)
{
    std::string name;
    for (const auto& a : info.param.args)
        for (char c : a) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

// Each command succeeds with its data; it fails with one line when no machine answers, and
// refuses a wrong code without showing it.
TEST_P(EachCommand, SucceedsOnTheSimulatorOrFailsWithOneLine)
{
    // Calibration stamps only on an empty sheet; the other commands do not mind which.
    const Exit r = run(concat({"--simulator", "--json"}, GetParam().args), {{"STAMPCTL_SIM_SHEET", "blank"}});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const json reply = r.parsed();
    EXPECT_EQ(std::pair(reply["code"], reply["message"]), std::pair(json(0), json("成功")));
    for (const auto& [at, value] : GetParam().data.items())
        EXPECT_EQ(reply["data"][json::json_pointer(at)], value) << at;
    GetParam().check(reply["data"], base);

    const Exit absent = run(concat({"--simulator"}, GetParam().args), {{"STAMPCTL_SIM_UNPLUGGED", "1"}});
    EXPECT_EQ(std::pair(absent.status, absent.out), std::pair(1, std::string()));
    EXPECT_THAT(absent.err,
                ::testing::MatchesRegex("stampctl [a-z -]+: -400 通信故障，请检查设备连接是否正常; is the machine "
                                        "plugged in and switched on, and is this user in the group stampctl\\?\n"));

    const Exit refused = run(concat({"--json", "--code", "wrong-guess-17"}, GetParam().args),
                             {{"STAMPCTL_SIMULATOR", "1"}, {"STAMPCTL_SIM_SECURITY_CODE", "right-code-42"}});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(std::pair(refused.parsed()["code"], refused.parsed()["data"]["connected"]),
              std::pair(json(-91), json(false)));
    EXPECT_THAT(refused.err, ::testing::HasSubstr("-91 传入参数错误 (the machine refused the security code); give the "
                                                  "machine's security code with --code or STAMPCTL_CODE\n"));
    for (const std::string& seen : {refused.out, refused.err, traces()})
        EXPECT_EQ(seen.find("wrong-guess"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Cli, EachCommand, ::testing::ValuesIn(machineCommands()), nameOf);

TEST_F(Stampctl, BadArgumentsAreRefusedWithExit2WithoutTouchingTheMachine)
{
    const std::vector<Args> bad = {
        {},
        {"bogus"},
        {"door", "open"},
        {"door", "open", "roof"},
        {"door", "open", "paper", "--seconds", "soon"},
        {"stamp", "--seal", "7", "--pixel", "1,2"},
        {"stamp", "--seal", "1"},
        {"stamp", "--seal", "1", "--pixel", "1,2", "--mm", "3,4"},
        {"stamp", "--seal", "1", "--pixel", "1"},
        {"stamp", "--seal", "1", "--mm", "5,5", "--angle", "361"},
        {"stamp", "--seal", "1", "--mm", "-5,10"},
        {"stamp", "--seal", "1", "--mm", "10,211"},
        {"stamp", "--seal", "1", "--mm", "298,10"},
        {"stamp", "--seal", "1", "--mm", "250,10", "--angle", "90"},
        {"calibration", "import", "missing.ini"},
        {"calibration", "export", "no-such-folder/cal.ini"},
        {"photo", "doc.png"},
        {"photo", "doc.jpg", "--full", "full.jpg"},
        {"calibrate"},
        {"calibrate", "--auto", "--photosensitive", "9"},
    };
    for (const Args& args : bad) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const Exit r = run(concat({"--simulator"}, args));
        EXPECT_EQ(r.status, 2);
        // What is wrong and where the help is, not the whole help.
        EXPECT_THAT(r.err, ::testing::MatchesRegex("stampctl[a-z -]*: [^\n]+; see 'stampctl [a-z ]*--help'\n"));
        // With --json, one object on standard output all the same.
        const Exit j = run(concat({"--simulator", "--json"}, args));
        EXPECT_EQ(j.status, 2);
        ASSERT_NO_THROW(j.parsed()) << j.out;
        EXPECT_EQ(j.parsed()["code"], -91);
        std::string typed;
        for (const auto& a : args) typed += (typed.empty() ? "" : " ") + a;
        EXPECT_EQ(typed.rfind(j.parsed()["command"].get<std::string>(), 0), 0u) << j.out;
    }
    EXPECT_THAT(run({"stamp", "--seal", "1", "--mm", "-5,10"}).err,
                ::testing::HasSubstr("off the page: X 0 to 297 and Y 0 to 210"));
    EXPECT_THAT(run({"calibration", "import", "missing.ini"}).err,
                ::testing::StartsWith("stampctl calibration import: file: no such file: missing.ini;"));
    EXPECT_EQ(traces(), "");
}

TEST_F(Stampctl, AMistypedCommandGetsASuggestionAndHelpAndVersionAnswer)
{
    EXPECT_THAT(run({"calibration", "exprot"}).err,
                ::testing::HasSubstr("unknown command 'exprot'; did you mean 'export'?"));
    const Exit help = run({"help", "calibration", "export"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, ::testing::HasSubstr("Usage: stampctl calibration export"));
    const Exit version = run({"--version"});
    EXPECT_EQ(std::tuple(version.status, version.out), std::tuple(0, "stampctl 1.0.0\n"));
}

TEST_F(Stampctl, CtrlCEndsTheWaitDisconnectsAndExits130)
{
    const auto started = std::chrono::steady_clock::now();
    const Exit r = runInterrupted({"--simulator", "light", "on", "--seconds", "30"}, "-->CSeal::_openVideoCapLight");
    EXPECT_EQ(r.status, 130);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
    EXPECT_EQ(r.err, "stampctl light: interrupted: the light was switched off early; disconnected from the machine\n");
    // The light went off with the connection, after it was switched on.
    const std::string trace = traces();
    EXPECT_NE(trace.find("_disconnMachine", trace.rfind("_openVideoCapLight")), std::string::npos);
}

// The code from the environment opens a machine that has one, and is never traced; --verbose
// copies the trace to standard error.
TEST_F(Stampctl, TheCodeFromTheEnvironmentAndVerbose)
{
    const Exit r = run({"--simulator", "--verbose", "status"},
                       {{"STAMPCTL_SIM_SECURITY_CODE", "right-code-42"}, {"STAMPCTL_CODE", "right-code-42"}});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, ::testing::HasSubstr("ready:       yes"));
    EXPECT_THAT(r.err, ::testing::HasSubstr("_connMachine"));
    EXPECT_THAT(traces(), ::testing::HasSubstr(r.err.substr(0, r.err.find('\n'))));
    EXPECT_EQ((traces() + r.err).find("right-code"), std::string::npos);
}

// sealtool's calibration file with the value `valueOf(n)` in its n-th field.
std::string writeSealtoolFile(const fs::path& file, const std::function<QString(int)>& valueOf)
{
    QMap<QString, QString> values;
    for (const QString& key : sealtool::calibrationFieldNames()) values.insert(key, valueOf(values.size()));
    EXPECT_TRUE(sealtool::exportCalibration(QString::fromStdString(file.string()), values));
    return file.string();
}

// A file sealtool wrote, with every value distinct, reaches the machine value by value.
TEST_F(Stampctl, ImportWritesSealtoolsFileToTheMachine)
{
    const std::string file = writeSealtoolFile(base / "backup.ini", [](int n) { return QString::number(100 + n); });
    const Exit r = run({"--simulator", "--json", "calibration", "import", file});
    ASSERT_EQ(r.status, 0) << r.err;
    const json d = r.parsed()["data"];
    EXPECT_EQ(json({d["a4_short_side"], d["a4_long_side"], d["circles"][0], d["corrections"][0]["0"],
                    d["corrections"][5]["270"]}),
              json::parse(R"([100, 101, {"x": 102, "y": 103}, {"x": 110, "y": 111}, {"x": 156, "y": 157}])"));
}

TEST_F(Stampctl, ImportRefusesAFileItCannotTakeWhole)
{
    const std::string file = (base / "partial.ini").string();
    for (const std::string content : {"[jiaozhun]\nlineEditBZW=1922\n", ""}) {
        std::ofstream(file) << content;
        const Exit r = run({"--simulator", "calibration", "import", file});
        EXPECT_EQ(r.status, 1);
        EXPECT_THAT(r.err, ::testing::HasSubstr("-91 传入参数错误 (" + file + ": no value lineEditBZG"));
    }
    for (auto [bad, said] : {std::pair{"12abc", "lineEdit_X3_90 is not a 16-bit number: 12abc"},
                             {"2048", "rotation correction is beyond +-2047"}}) {
        const QString x3At90 = bad;
        writeSealtoolFile(
            file, [&](int n) { return sealtool::calibrationFieldNames()[n] == "lineEdit_X3_90" ? x3At90 : "0"; });
        EXPECT_THAT(run({"--simulator", "calibration", "import", file}).err, ::testing::HasSubstr(said));
    }
}

// Progress spins on a terminal only; -q leaves out confirmations, not results.
TEST_F(Stampctl, ProgressAndConfirmationsOnlyWhereWanted)
{
    EXPECT_THAT(onTerminal({"--simulator", "reset"}), ::testing::HasSubstr("| resetting 0s"));
    // Calibration names its step: the photo of a printed sheet, which it then refuses.
    EXPECT_THAT(onTerminal({"--simulator", "calibrate", "--auto"}),
                ::testing::AllOf(::testing::HasSubstr("calibrating: photographing the sheet"),
                                 ::testing::HasSubstr("stampctl calibrate: -1 校准纸不是空白纸或未放正\r\n")));
    EXPECT_EQ(onTerminal({"--simulator", "-q", "reset"}).find("resetting"), std::string::npos);
    EXPECT_EQ(run({"--simulator", "reset"}).err, "");
    EXPECT_EQ(run({"--simulator", "-q", "alarm", "buzzer", "off"}).out, "");
    EXPECT_EQ(run({"--simulator", "alarm", "buzzer", "off"}).out, "buzzer alarm off\n");
    EXPECT_THAT(run({"--simulator", "-q", "info"}).out, ::testing::HasSubstr("OV2026000117"));
}

}  // namespace
