// The calibration store: the record the machine keeps, read once per connection, reloaded after
// every download, forgotten at the next connection, and handed out whole as a snapshot under its
// lock, so that a stamp never maps through half of two records.
#pragma once

#include <mutex>

#include "stampctl/calibration/calibration_record.h"
#include "stampctl/link/cmd_def.h"
#include "stampctl/link/link.h"

namespace stampctl::calibration {

class Store {
public:
    explicit Store(link::Link& link) : m_link(link) {}
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // The record as it stands.
    Record record() const;
    // Reads the whole record from the machine (the base block, then the rotations; rotations
    // that cannot be read stay 0) and publishes it.
    int load();
    // Loads the record unless it is loaded. `fetched` says whether the machine was asked; a
    // failed load leaves the record not loaded, so that the next caller tries again.
    int ensureLoaded(bool& fetched);
    // Writes one calibration block (`cmd` with its payload) and reloads the record.
    int download(CMD_DEF cmd, const unsigned char* block, int len);
    // The next connection starts from an unloaded record.
    void forget();

private:
    void publish(const Record& record);
    static void traceSealOffsets(const Record& record);

    link::Link& m_link;
    mutable std::mutex m_lock;
    Record m_record;
};

}  // namespace stampctl::calibration
