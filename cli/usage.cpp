#include "usage.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace stampctl_cli {

namespace {

constexpr size_t kMaxTypos = 2;
// The library's messages for its codes, without starting the library for them.
constexpr const char* kBadArgumentMessage = "传入参数错误";  // geterrMsg(-91)
constexpr const char* kSuccessMessage = "成功";              // geterrMsg(0)

// The sub-command the parser went into, deepest first found.
const CLI::App* reached(const CLI::App& app)
{
    const CLI::App* at = &app;
    for (bool deeper = true; deeper;) {
        deeper = false;
        for (const CLI::App* sub : at->get_subcommands([](const CLI::App* s) { return s->parsed(); })) {
            at = sub;
            deeper = true;
            break;
        }
    }
    return at;
}

std::string pathOf(const CLI::App* command)
{
    std::string path;
    for (; command && command->get_parent(); command = command->get_parent())
        path = command->get_name() + (path.empty() ? "" : " " + path);
    return path;
}

size_t editDistance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return row[b.size()];
}

// The sub-command of `at` nearest to `word`: a prefix of it, or at most two typing mistakes away.
std::string nearest(const CLI::App* at, const std::string& word)
{
    std::string best;
    size_t bestDistance = kMaxTypos + 1;
    for (const CLI::App* sub : at->get_subcommands({})) {
        const std::string& name = sub->get_name();
        const size_t distance = name.rfind(word, 0) == 0 ? 0 : editDistance(word, name);
        if (distance < bestDistance) best = name, bestDistance = distance;
    }
    return best;
}

std::string quoted(const std::string& word) { return "'" + word + "'"; }

// The help of one command, not of the one the parser went into.
std::string helpOf(const CLI::App* command)
{
    const std::string path = pathOf(command);
    return command->get_formatter()->make_help(command, "stampctl" + (path.empty() ? "" : " " + path),
                                               CLI::AppFormatMode::Normal);
}

Named refused(const std::string& command, const std::string& detail)
{
    const std::string help = "stampctl " + (command.empty() ? "" : command + " ") + "--help";
    Outcome outcome = refusal(detail);
    outcome.message = kBadArgumentMessage;
    outcome.usage = true;
    outcome.hint = "see " + quoted(help);
    return {command, outcome};
}

// A word where a command was expected and that names none.
std::string unknownCommand(const CLI::App* at, const std::string& word)
{
    std::string text = "unknown command " + quoted(word);
    const std::string guess = nearest(at, word);
    if (!guess.empty()) text += "; did you mean " + quoted(guess) + "?";
    return text;
}

}  // namespace

bool wantsJson(int argc, char** argv)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        if (std::strcmp(argv[i], "--json") == 0) return true;
    return false;
}

Named helpOutcome(const std::string& help)
{
    Outcome outcome;
    outcome.message = kSuccessMessage;
    outcome.data = {{"help", help}};
    outcome.text = help;
    return {"help", outcome};
}

Named versionOutcome()
{
    Outcome outcome;
    outcome.message = kSuccessMessage;
    outcome.data = {{"version", STAMPCTL_VERSION}};
    outcome.text = std::string("stampctl ") + STAMPCTL_VERSION;
    return {"version", outcome};
}

Named usageError(const CLI::App& app, const CLI::ParseError& error)
{
    const CLI::App* at = reached(app);
    const std::string command = pathOf(at);
    // Words the parser could not place travel up to the top (options may follow a command).
    const std::vector<std::string> left = app.remaining(true);
    const bool wantsCommand = at->get_require_subcommand_min() > 0 || at->get_parent() == nullptr;
    if (wantsCommand && !at->get_subcommands({}).empty() && !left.empty() && left.front().rfind("-", 0) != 0)
        return refused(command, unknownCommand(at, left.front()));
    std::string what = error.what();
    if (dynamic_cast<const CLI::RequiredError*>(&error) && at->get_subcommands({}).size() > 0 &&
        what.find("subcommand") != std::string::npos)
        what = "a command is required";
    return refused(command, what);
}

void addHelpCommand(CLI::App& app, Commands& commands)
{
    auto words = std::make_shared<std::vector<std::string>>();
    auto* help = app.add_subcommand("help", "help for the tool or a command: stampctl help stamp");
    help->add_option("command", *words, "the command, as typed (e.g. calibration export)");
    commands.add(help, [&app, words]() -> Outcome {
        const CLI::App* at = &app;
        for (const std::string& word : *words) {
            const CLI::App* sub = nullptr;
            for (const CLI::App* s : at->get_subcommands({}))
                if (s->get_name() == word) sub = s;
            if (!sub) return refused(pathOf(at), unknownCommand(at, word)).outcome;
            at = sub;
        }
        return helpOutcome(helpOf(at)).outcome;
    });
}

}  // namespace stampctl_cli
