#include "tools/unitsim/pty_server.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace kivo::unitsim {

namespace {

// One byte on the line at 9600 baud: start bit, 8 data bits, stop bit.
constexpr auto kByteTime = std::chrono::nanoseconds(1'000'000'000LL * 10 / 9600);

[[noreturn]] void fail(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

void makeRaw(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(fd, TCSANOW, &t);
}

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

PtyServer::PtyServer(Bus& bus, ServerOptions options) : bus_(bus), options_(options)
{
    try {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0)
            fail("posix_openpt");
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        if (grantpt(master_) != 0 || unlockpt(master_) != 0)
            fail("unlockpt");
        std::array<char, 128> name{};
        if (ptsname_r(master_, name.data(), name.size()) != 0)
            fail("ptsname_r");
        path_ = name.data();
        // Opened before any program can open it, and without a lock.
        slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_ < 0)
            fail("open pty slave");
        makeRaw(slave_);
        makeRaw(master_);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        int wake[2];
        if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
            fail("pipe2");
        wakeRead_ = wake[0];
        wakeWrite_ = wake[1];
        thread_ = std::thread(&PtyServer::run, this);
    } catch (...) {
        closeFd(wakeRead_);
        closeFd(wakeWrite_);
        closeFd(slave_);
        closeFd(master_);
        throw;
    }
}

PtyServer::~PtyServer()
{
    const char stop = 1;
    while (::write(wakeWrite_, &stop, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
    closeFd(wakeRead_);
    closeFd(wakeWrite_);
    closeFd(slave_);
    closeFd(master_);
}

std::vector<LogEntry> PtyServer::log() const
{
    std::lock_guard lock(logMutex_);
    return {log_.begin(), log_.end()};
}

void PtyServer::clearLog()
{
    std::lock_guard lock(logMutex_);
    log_.clear();
}

void PtyServer::record(LogEntry::Direction direction, Bytes bytes)
{
    LogEntry entry{direction, Clock::now(), std::move(bytes)};
    if (options_.onEntry)
        options_.onEntry(entry);
    if (options_.logLimit == 0)
        return;
    std::lock_guard lock(logMutex_);
    log_.push_back(std::move(entry));
    while (log_.size() > options_.logLimit)
        log_.pop_front();
}

std::string logLine(const LogEntry& entry)
{
    static_assert(Clock::is_steady, "the log's times come from the monotonic clock");
    const double ms =
        std::chrono::duration<double, std::milli>(entry.time.time_since_epoch()).count();
    char head[48];
    std::snprintf(head, sizeof head, "%.3f %s", ms,
                  entry.direction == LogEntry::Request ? "request" : "reply");
    std::string line = head;
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (std::uint8_t b : entry.bytes) {
        line += ' ';
        line += kHex[b >> 4];
        line += kHex[b & 0xF];
    }
    return line;
}

// Waits until `deadline`; false when the server is stopping.
bool PtyServer::waitUntil(Clock::time_point deadline)
{
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return true;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec ts{static_cast<time_t>(ns / 1'000'000'000),
                          static_cast<long>(ns % 1'000'000'000)};
        pollfd wake{wakeRead_, POLLIN, 0};
        const int r = ppoll(&wake, 1, &ts, nullptr);
        if (r > 0)
            return false;
        if (r < 0 && errno != EINTR)
            return true;
    }
}

// Writes to the master until done or the server stops. A reply nobody can take is dropped.
// The reply is logged just before its last byte goes out, so whoever has read the whole reply
// finds it in the log.
void PtyServer::send(const Bytes& bytes)
{
    const auto start = Clock::now();
    std::size_t done = 0;
    bool logged = false;
    while (done < bytes.size()) {
        std::size_t chunk = bytes.size() - done;
        if (options_.pace) {
            if (!waitUntil(start + kByteTime * static_cast<long>(done + 1)))
                return;
            chunk = 1;
        }
        if (!logged && done + chunk == bytes.size()) {
            record(LogEntry::Reply, bytes);
            logged = true;
        }
        const ssize_t n = ::write(master_, bytes.data() + done, chunk);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return;
        pollfd fds[2] = {{master_, POLLOUT, 0}, {wakeRead_, POLLIN, 0}};
        if (poll(fds, 2, -1) > 0 && fds[1].revents)
            return;
    }
}

void PtyServer::process(const Bytes& request)
{
    const auto reply = bus_.handle(request);
    if (!reply)
        return;
    const Outcome out = faults_.apply(request, *reply);
    if (out.delayMs > 0 && !waitUntil(Clock::now() + std::chrono::milliseconds(out.delayMs)))
        return;
    if (out.bytes.empty())
        return;
    send(out.bytes);
    if (out.later.empty() || !waitUntil(Clock::now() + std::chrono::milliseconds(out.laterDelayMs)))
        return;
    send(out.later);
}

void PtyServer::run()
{
    const auto gap = std::chrono::milliseconds(options_.gapMs);
    Bytes pending;
    auto lastByte = Clock::now();
    std::array<std::uint8_t, 512> buffer{};
    for (;;) {
        int timeout = -1;
        if (!pending.empty()) {
            const auto left = lastByte + gap - Clock::now();
            timeout = static_cast<int>(
                std::max<long>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
        }
        pollfd fds[2] = {{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        const int r = poll(fds, 2, timeout);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || fds[1].revents)
            return;
        if (r == 0) {
            if (!pending.empty() && Clock::now() - lastByte >= gap) {
                record(LogEntry::Request, std::move(pending));
                pending.clear();
            }
            continue;
        }
        // Without a reader on the slave side the master reports a hang-up; our own slave
        // descriptor should prevent that, but never spin on it.
        const ssize_t n =
            (fds[0].revents & POLLIN) ? ::read(master_, buffer.data(), buffer.size()) : 0;
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0) {
            if (!waitUntil(Clock::now() + std::chrono::milliseconds(10)))
                return;
            continue;
        }
        pending.insert(pending.end(), buffer.begin(), buffer.begin() + n);
        lastByte = Clock::now();
        while (!pending.empty()) {
            const std::size_t len = pending[0];
            if (len < kMinFrame || len > kMaxFrame) {
                record(LogEntry::Request, {pending[0]});
                pending.erase(pending.begin());
                continue;
            }
            if (pending.size() < len)
                break;
            Bytes frame(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(len));
            pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(len));
            record(LogEntry::Request, frame);
            process(frame);
            lastByte = Clock::now();
        }
    }
}

} // namespace kivo::unitsim
