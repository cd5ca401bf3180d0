// A simulated bus served on a pseudo-terminal, on a thread of its own.
//
//     kivo::unitsim::Bus bus = kivo::unitsim::Bus::defaultBus();
//     kivo::unitsim::PtyServer server(bus);          // opens a pty and serves it
//     std::string path = server.path();              // the terminal a program opens
//     server.faults().add({.uid = 3, .cid = 0x05, .kind = Fault::NoReply, .times = 2});
//     auto log = server.log();                        // request and reply frames with times
//
// The bus must outlive the server and stay where it is (not moved) while it is served. The
// destructor stops the thread and closes the terminal.
//
// Like a unit on a half-duplex line the server answers only once a whole request has arrived
// (the LEN byte says how long it is); bytes of a request that stop coming for `gapMs` are
// dropped. A byte that cannot start a frame (LEN below 5 or above 105) is dropped on its own.
// The server keeps a slave descriptor of its own open, in raw mode and never read, so the
// terminal stays up while programs open and close it; it takes no lock on it, so a program's
// flock() and TIOCEXCL work as on a real port.
#pragma once

#include "tools/unitsim/bus.h"
#include "tools/unitsim/faults.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kivo::unitsim {

struct LogEntry {
    enum Direction { Request, Reply };
    Direction direction = Request;
    Clock::time_point time = {}; // request: its last byte read; reply: its last byte sent
    Bytes bytes = {};            // a reply as sent, faults included
};

struct ServerOptions {
    bool pace = false;             // send replies at 9600 baud, 8N1: 1.04 ms a byte
    int gapMs = 50;                // a pause that ends a partial request
    std::size_t logLimit = 100000; // entries kept; the oldest go first; 0 keeps none
    // Called on the server's thread with every entry as it happens, whatever logLimit keeps.
    std::function<void(const LogEntry&)> onEntry = nullptr;
};

// One line of kivo-unitsim's --log, without its line break: the entry's time in milliseconds
// of the monotonic clock (CLOCK_MONOTONIC, as other programs read it), "request" or "reply",
// and the bytes in hexadecimal: "5321.268 reply 06 03 1F 04 03 C9".
std::string logLine(const LogEntry& entry);

class PtyServer {
public:
    // Throws std::system_error when no pseudo-terminal can be opened.
    explicit PtyServer(Bus& bus, ServerOptions options = {});
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    const std::string& path() const { return path_; }
    Faults& faults() { return faults_; }
    std::vector<LogEntry> log() const;
    void clearLog();

private:
    void run();
    void process(const Bytes& request);
    bool waitUntil(Clock::time_point deadline);
    void send(const Bytes& bytes);
    void record(LogEntry::Direction direction, Bytes bytes);

    Bus& bus_;
    ServerOptions options_;
    Faults faults_;
    int master_ = -1;
    int slave_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::string path_;
    mutable std::mutex logMutex_;
    std::deque<LogEntry> log_;
    std::thread thread_;
};

} // namespace kivo::unitsim
