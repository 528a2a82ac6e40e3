// The local HTTP service and its tokens: stampctl serve, stampctl token add|list|revoke.
#include <unistd.h>

#include "commands.h"
#include "serve/service.h"

namespace stampctl_cli {

namespace {

// The page's files: "www" beside the program (the package puts them there).
std::string wwwBesideProgram()
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return {};
    self[n] = '\0';
    std::string dir(self);
    return dir.substr(0, dir.rfind('/')) + "/www";
}

struct ServeRequest {
    stampctl_serve::ServeSettings settings;
    std::string codeFile;
};

Outcome serve(const Options& options, ServeRequest r)
{
    r.settings.code = options.code;
    if (!r.codeFile.empty()) {
        std::string error;
        if (!stampctl_serve::readCodeFile(r.codeFile, r.settings.code, error)) return refusal(error);
    }
    if (r.settings.wwwDir.empty()) r.settings.wwwDir = wwwBesideProgram();
    return stampctl_serve::serve(r.settings);
}

}  // namespace

void addServeCommands(CLI::App& app, Commands& commands)
{
    const Options& options = commands.options();
    auto request = std::make_shared<ServeRequest>();
    auto* serveCommand = app.add_subcommand(
        "serve", "answer HTTP on loopback for a site's browser-based systems (see docs/service.md), until stopped");
    serveCommand->add_option("--listen", request->settings.listen, "HOST:PORT to listen on (default 127.0.0.1:8470)");
    serveCommand->add_option("--code-file", request->codeFile, "read the security code from the first line of FILE")
        ->check(CLI::ExistingFile);
    serveCommand->add_option("--tls-cert", request->settings.tlsCert, "HTTPS certificate (PEM); needed off loopback")
        ->check(CLI::ExistingFile);
    serveCommand->add_option("--tls-key", request->settings.tlsKey, "HTTPS private key (PEM)")
        ->check(CLI::ExistingFile);
    serveCommand->add_option("--www", request->settings.wwwDir,
                             "the page's directory (default: www beside the program)");
    serveCommand->add_option("--origins", request->settings.originsFile,
                             "the allowed origins file (default: serve/origins in the base directory)");
    commands.add(serveCommand, [&options, request] { return serve(options, *request); });

    auto* token = app.add_subcommand("token", "the service's named tokens");
    token->require_subcommand(1);
    auto name = std::make_shared<std::string>();
    auto role = std::make_shared<std::string>();
    auto* add = token->add_subcommand("add", "make a token for NAME with a role; it is printed once");
    add->add_option("name", *name, "who or what uses it")->required();
    add->add_option("--role", *role, "viewer, operator or engineer")
        ->required()
        ->check(CLI::IsMember({"viewer", "operator", "engineer"}));
    commands.add(add, [name, role] { return stampctl_serve::addToken(*name, *role); });
    commands.add(token->add_subcommand("list", "the tokens' names, roles and dates"),
                 [] { return stampctl_serve::listTokens(); });
    auto* revoke = token->add_subcommand("revoke", "revoke the token of NAME");
    revoke->add_option("name", *name, "the token's name")->required();
    commands.add(revoke, [name] { return stampctl_serve::revokeToken(*name); });
}

}  // namespace stampctl_cli
