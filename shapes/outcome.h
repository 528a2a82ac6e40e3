// What a command reports, and the one JSON envelope in which both the command-line tool
// (--json) and the HTTP service hand it out: {"command", "code", "message", "data", "detail"}.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace stampctl_shapes {

// What one command reports: the library's result code with its message, the data, and the text
// a person reads.
struct Outcome {
    int code = 0;
    std::string message;  // empty: the library's message for `code`
    std::string detail;   // on failure: what the tool itself found wrong, in words
    nlohmann::json data = nlohmann::json::object();
    std::string text;           // the human-readable result
    bool confirmation = false;  // `text` only confirms the action; --quiet leaves it out
};

// A failure with the library's code and message.
Outcome failure(int code, nlohmann::json data = nlohmann::json::object());
// A failure the tool finds before or after the library's work (a file it cannot read or write);
// it carries the library's code for a wrong argument, and says what is wrong in `detail`.
Outcome refusal(std::string detail);

// The outcome's message: its own, else the library's for its code.
std::string messageOf(const Outcome& outcome);
// The envelope of `command`'s outcome, keys in the order a reader looks for them.
nlohmann::ordered_json envelope(const std::string& command, const Outcome& outcome);
// The envelope as one line of JSON; texts from the machine (log entries, opening reasons) need
// not be valid UTF-8, and are mended rather than refused.
std::string envelopeLine(const std::string& command, const Outcome& outcome);

// A text result of the library: its copy, or the code of a failure text ("-@#<code>").
struct Text {
    int code = 0;
    std::string value;
    bool ok() const { return code == 0; }
};
Text libraryText(const char* result);

// "a;b;c" as its entries; the empty text has none.
std::vector<std::string> split(const std::string& joined, char separator);

// The library's directory of files (STAMPCTL_BASE_DIR, else the installation's) and its photos.
std::string baseDir();
std::string photoDir();
// A name for a photo taken now: "stampctl_YYYYmmdd_HHMMSS_mmm".
std::string timestampedName();

}  // namespace stampctl_shapes
