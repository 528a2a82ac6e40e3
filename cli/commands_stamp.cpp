// The document photo, stamping and the mechanism's reset.
#include <stdlib.h>

#include <filesystem>

#include "commands.h"
#include "interrupt.h"
#include "shapes/stamp.h"
#include "stampctl/stampctl.h"

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
Outcome stamp(const StampRequest& r)
{
    // The package makes the directory; a missing one would only show as the library's "disk full".
    if (!fs::is_directory(photoDir())) return refusal("no photo directory " + photoDir());
    const std::string stem = photoDir() + "/" + timestampedName();

    Outcome outcome = stampctl_shapes::stamp(r, stem, stem + kCutExtension, interrupted);
    if (interrupted() && outcome.interruption.empty()) outcome.interruption = "the stamp under way was finished first";
    return outcome;
}

Outcome reset() { return stampctl_shapes::reset(); }

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

// The page lies with its long side along the picture's width; at 90 and 270 degrees the library
// measures a page point the other way round.
constexpr int kPageLongMm = 297;
constexpr int kPageShortMm = 210;
constexpr const char* kPageRange =
    "millimetres from the page's top-left corner: X 0 to 297 and Y 0 to 210 "
    "(at 90 and 270 degrees X 0 to 210 and Y 0 to 297)";

// A page position off the page is a wrong argument: refused before anything reaches the machine.
void checkOnPage(const StampRequest& r)
{
    if (r.mm.size() != 2) return;
    const bool turned = r.angle == 90 || r.angle == 270;
    const int width = turned ? kPageShortMm : kPageLongMm;
    const int height = turned ? kPageLongMm : kPageShortMm;
    if (r.mm[0] < 0 || r.mm[0] > width || r.mm[1] < 0 || r.mm[1] > height)
        throw CLI::ValidationError("--mm", std::to_string(r.mm[0]) + "," + std::to_string(r.mm[1]) +
                                               " is off the page: X 0 to " + std::to_string(width) + " and Y 0 to " +
                                               std::to_string(height) + " at angle " + std::to_string(r.angle));
}

}  // namespace

void addStampCommands(CLI::App& app, Commands& commands)
{
    auto photoRequest = std::make_shared<PhotoRequest>();
    auto* photoCommand = app.add_subcommand("photo", "photograph the document: the cut picture, and the full frame");
    photoCommand->add_option("out", photoRequest->out, "the cut picture (JPEG)")
        ->required()
        ->check(endsWith({".jpg", ".jpeg", ".JPG", ".JPEG"}));
    photoCommand->add_option("--full", photoRequest->full, "also the full camera frame (BMP)")
        ->check(endsWith({".bmp", ".BMP"}));
    commands.add(photoCommand, commands.onMachine([photoRequest] { return photo(*photoRequest); }, "photographing"));

    auto stampRequest = std::make_shared<StampRequest>();
    auto* stampCommand = app.add_subcommand("stamp", "photograph the document and stamp it with a seal");
    stampCommand->add_option("--seal", stampRequest->seal, "seal number, 1 to 6")->required()->check(CLI::Range(1, 6));
    auto* where = stampCommand->add_option_group("position", "where to stamp (one of)");
    addPoint(where, "--pixel", stampRequest->pixel, "pixel of the cut picture (as stampctl photo writes it)");
    addPoint(where, "--mm", stampRequest->mm, kPageRange);
    where->require_option(1);
    stampCommand->add_option("--angle", stampRequest->angle, "rotation in degrees, 0 to 360")
        ->check(CLI::Range(0, 360));
    stampCommand->add_flag("--across-page", stampRequest->acrossPage, "an across-page stamp over the paper's edge");
    stampCommand->final_callback([stampRequest] { checkOnPage(*stampRequest); });
    commands.add(stampCommand, commands.onMachine([stampRequest] { return stamp(*stampRequest); }, "stamping"));

    commands.add(app.add_subcommand("reset", "reset the mechanism and wait until it is ready (up to a minute)"),
                 commands.onMachine(reset, "resetting"));
}

}  // namespace stampctl_cli
