// The audit trail: one JSON line per act that changes the world, appended to the month's file
// in log/ and on disk before the act is answered.
#pragma once

#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

namespace stampctl_serve {

class Audit {
public:
    // Files go to `dir` (the base directory's log/): audit_YYYY_MM.jsonl.
    explicit Audit(std::string dir) : m_dir(std::move(dir)) {}

    // Appends `record` with the time put first. false when it could not be written whole.
    bool record(nlohmann::ordered_json record);

    // The file a record written now goes to.
    std::string currentFile() const;

private:
    std::string m_dir;
    std::mutex m_lock;  // one writer at a time, so lines never interleave
};

// The log directory of the base directory.
std::string auditDir();

}  // namespace stampctl_serve
