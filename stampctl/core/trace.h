// The running trace: one text file per local day in "log" under the base directory, one line
// per event, each operation bracketed by an entry line and an exit line carrying its result.
#pragma once

#include <cstddef>

namespace stampctl {
constexpr int kTraceInfo = 130;           // ordinary lines
constexpr int kTraceError = 131;          // failures and photo-status changes
constexpr size_t kTraceTextSize = 1024;   // message and entry text, terminator included
constexpr size_t kTraceResultSize = 512;  // result text, terminator included
}  // namespace stampctl

// Writes one line "<hh:mm:ss.mmm> <text>". The level is accepted for the callers' sake and
// written nowhere. Never fails: a line that cannot be written is dropped.
void TrcWritef(int level, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

class TRC_LOGER {
public:
    enum TRC_TYPE { TRC_PROTOCOL = 1, TRC_API = 2 };

    // Writes the entry line "<stamp> --><entry text>".
    TRC_LOGER(TRC_TYPE type, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
    // Writes the exit line "<stamp> <--<entry text> <result text>", also during unwinding.
    ~TRC_LOGER();

    // Replaces the result text; the last call before the scope ends is the one written.
    void SetRet(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

    TRC_LOGER(const TRC_LOGER&) = delete;
    TRC_LOGER& operator=(const TRC_LOGER&) = delete;

private:
    char m_entry[stampctl::kTraceTextSize];
    char m_result[stampctl::kTraceResultSize];
};
