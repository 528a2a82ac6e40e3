// The device link: the transport, the exchange lock, and what the last status poll said. One
// exchange at a time reaches the machine; each caller gets its own reply. The link knows the
// wire and the status record, nothing of the operations above it.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "stampctl/link/cmd_def.h"
#include "stampctl/link/reply.h"
#include "stampctl/link/stamp_status.h"
#include "stampctl/link/usb_transport.h"

namespace stampctl::link {

// What one status poll found: EC_OK and the record it read, or EC_PORT_OPENFAIL and the record
// as it stood (doors closed: none is known to be open without a poll that says so).
struct StatusPoll {
    int code;
    CStampStatus status;
};

class Link {
public:
    // Told of every record a successful poll publishes, before its warnings are traced; the
    // owner decides what a record obliges it to do (an open top cover: disconnect).
    using PollObserver = std::function<void(const CStampStatus&)>;

    explicit Link(std::unique_ptr<UsbTransport> transport);
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Set once, before the link is used.
    void setPollObserver(PollObserver observer) { m_observer = std::move(observer); }

    // The transport's open result (negative: failure), and its close.
    int open();
    void close();
    // Between a successful open and the next close.
    bool isOpen() const { return m_open; }

    // One exchange under the exchange lock: writes the checksum into the request's last byte,
    // sends it and reads this exchange's own reply, with three attempts on a reply that does not
    // validate. `board` says whether the backup board may answer.
    int exchange(unsigned char* req, unsigned long reqLen, Reply& reply, Board board);
    // The same, with a refusal by the machine turned into the machine's current fault code (a
    // status poll explains it).
    int exchangeExplained(unsigned char* req, unsigned long reqLen, Reply& reply, Board board);
    // The one way a command reaches the machine: its frame from the command table (the status
    // poll, the reset and the stamp included), one exchange, and the caller's own reply.
    int command(CMD_DEF cmd, const unsigned char* payload, int len, Reply& reply, Board board = Board::Main);
    // command() inside the "ExeCmd" trace block; `reply` may be null when only the result counts.
    int execute(CMD_DEF cmd, const unsigned char* payload = nullptr, int len = 0, Reply* reply = nullptr,
                Board board = Board::Main);

    // The seal information block: written in chunks, or read whole into `block`
    // (kSealBlockBufferSize bytes, always terminated).
    static constexpr size_t kSealBlockBufferSize = 1024;
    int sealBlock(CMD_DEF cmd, const char* data, short len, char* block);

    // One status poll (either board may answer); publishes the record it read.
    StatusPoll poll();
    // The latest record, whole.
    CStampStatus status() const;
    // The paper door was opened by command: the record says so until the next poll.
    void markPaperDoorOpen();
    // The main board answered the last poll.
    bool mainBoard() const { return m_mainBoard; }

    // A disconnect is running. begin returns whether one already was (a nested disconnect).
    bool beginDisconnect() { return m_disconnecting.exchange(true); }
    void endDisconnect() { m_disconnecting = false; }

private:
    CStampStatus publish(const uint8_t* bytes);
    int writeSealBlock(const char* data, short len, int& done, int& nCount, int& lenTemp);
    int readSealBlock(char* block, int& done, int& nCount, int& lenTemp);

    std::unique_ptr<UsbTransport> m_transport;
    std::mutex m_exchangeLock;                 // one exchange on the wire at a time
    std::atomic<bool> m_mainBoard{false};      // the main board answered the last poll
    std::atomic<bool> m_disconnecting{false};  // a disconnect is running
    std::atomic<bool> m_open{false};           // between a successful open and the next close
    mutable std::mutex m_statusLock;
    CStampStatus m_status;  // every poll replaces it whole
    PollObserver m_observer;
};

}  // namespace stampctl::link
