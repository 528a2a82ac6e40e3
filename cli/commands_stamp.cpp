// The document photo, stamping and the mechanism's reset.
#include <stdlib.h>

#include <filesystem>

#include "commands.h"
#include "progress.h"
#include "shapes/stamp.h"

namespace stampctl_cli {

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// A rename, or a copy where the two paths lie on different file systems.
bool moveFile(const fs::path& from, const fs::path& to)
{
    std::error_code error;
    fs::rename(from, to, error);
    if (!error) return true;
    error.clear();
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
    return !error;
}

struct PhotoRequest {
    std::string out;
    std::string full;
};

// The library picks the pictures' names itself, so they are taken in a directory of their own
// next to the output and moved to the names asked for.
Outcome photo(const PhotoRequest& r)
{
    const fs::path out = fs::absolute(r.out);
    const fs::path full = r.full.empty() ? fs::path() : fs::absolute(r.full);
    std::string work = (out.parent_path() / ".stampctl-XXXXXX").string();
    if (!::mkdtemp(work.data())) return refusal("cannot write in " + out.parent_path().string());
    const std::string stem = (fs::path(work) / "photo").string();

    Outcome outcome;
    outcome.data = {{"photo", out.string()}, {"full", full.empty() ? json(nullptr) : json(full.string())}};
    const int code = photograph(stem, !full.empty());
    if (code != 0) {
        outcome = failure(code, outcome.data);
    } else if (!moveFile(stem + kCutExtension, out)) {
        outcome = refusal("cannot write " + out.string());
    } else if (!full.empty() && !moveFile(stem + kFullExtension, full)) {
        outcome = refusal("cannot write " + full.string());
    } else {
        outcome.text = "cut picture " + out.string() + (full.empty() ? "" : "\nfull photo  " + full.string());
    }
    std::error_code ignored;
    fs::remove_all(work, ignored);
    return outcome;
}

// A pixel or a page position means a place on the document now on the board, so the document is
// photographed first; the photo stays with the others in the library's photo directory.
Outcome stamp(const Options& options, const StampRequest& r)
{
    // The package makes the directory; a missing one would only show as the library's "disk full".
    if (!fs::is_directory(photoDir())) return refusal("no photo directory " + photoDir());
    Progress progress(options, "stamping");
    const std::string stem = photoDir() + "/" + timestampedName();

    return stampctl_shapes::stamp(r, stem, stem + kCutExtension);
}

Outcome reset(const Options& options)
{
    Progress progress(options, "resetting");
    return stampctl_shapes::reset();
}

// "X,Y": two whole numbers.
CLI::Option* addPoint(CLI::App* group, const std::string& name, std::vector<int>& point, const std::string& what)
{
    return group->add_option(name, point, what)->delimiter(',')->expected(2)->type_name("X,Y");
}

CLI::Validator endsWith(std::vector<std::string> extensions)
{
    return CLI::Validator(
        [extensions](std::string& path) {
            for (const std::string& ext : extensions)
                if (path.size() > ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0)
                    return std::string();
            return "the file name must end in " + extensions.front();
        },
        extensions.front() + " FILE");
}

}  // namespace

void addStampCommands(CLI::App& app, Commands& commands)
{
    const Options& options = commands.options();

    auto photoRequest = std::make_shared<PhotoRequest>();
    auto* photoCommand = app.add_subcommand("photo", "photograph the document: the cut picture, and the full frame");
    photoCommand->add_option("out", photoRequest->out, "the cut picture (JPEG)")
        ->required()
        ->check(endsWith({".jpg", ".jpeg", ".JPG", ".JPEG"}));
    photoCommand->add_option("--full", photoRequest->full, "also the full camera frame (BMP)")
        ->check(endsWith({".bmp", ".BMP"}));
    commands.add(photoCommand, commands.onMachine([photoRequest] { return photo(*photoRequest); }));

    auto stampRequest = std::make_shared<StampRequest>();
    auto* stampCommand = app.add_subcommand("stamp", "photograph the document and stamp it with a seal");
    stampCommand->add_option("--seal", stampRequest->seal, "seal number, 1 to 6")->required()->check(CLI::Range(1, 6));
    auto* where = stampCommand->add_option_group("position", "where to stamp (one of)");
    addPoint(where, "--pixel", stampRequest->pixel, "pixel of the cut picture (as stampctl photo writes it)");
    addPoint(where, "--mm", stampRequest->mm, "millimetres from the page's top-left corner");
    where->require_option(1);
    stampCommand->add_option("--angle", stampRequest->angle, "rotation in degrees, 0 to 360")->check(CLI::Range(0, 360));
    stampCommand->add_flag("--across-page", stampRequest->acrossPage, "an across-page stamp over the paper's edge");
    commands.add(stampCommand, commands.onMachine([&options, stampRequest] { return stamp(options, *stampRequest); }));

    commands.add(app.add_subcommand("reset", "reset the mechanism and wait until it is ready (up to a minute)"),
                 commands.onMachine([&options] { return reset(options); }));
}

}  // namespace stampctl_cli
