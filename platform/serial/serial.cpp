#include "platform/serial/serial.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace kivo::serial {

namespace {

using Clock = std::chrono::steady_clock;

// How long a write may wait for the driver to take more bytes. A frame is a few bytes, so a
// driver that takes nothing for this long is gone or stuck.
constexpr int kWriteStallMs = 2000;

std::string errnoText(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

speed_t speedFor(int baud)
{
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

// Waits for `events` on fd for at most `us` microseconds; returns the revents, 0 on time-out,
// -1 on failure.
int waitFor(int fd, short events, long us)
{
    pollfd p{fd, events, 0};
    const timespec ts{us / 1000000, (us % 1000000) * 1000};
    for (;;) {
        const int n = ppoll(&p, 1, &ts, nullptr);
        if (n < 0 && errno == EINTR) {
            continue; // the time left is close enough; a signal is rare here
        }
        if (n < 0) {
            return -1;
        }
        return n == 0 ? 0 : p.revents;
    }
}

long microsecondsLeft(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    return std::max<long>(0, left);
}

} // namespace

long interByteGapUs(int baud)
{
    if (baud <= 0) {
        return 1000;
    }
    const long threeCharacters = 3L * 10L * 1000000L / baud;
    return std::max(1000L, threeCharacters);
}

std::unique_ptr<Port> Port::open(const std::string& name, std::string* error)
{
    auto refuse = [&](std::string why) {
        if (error) {
            *error = std::move(why);
        }
        return nullptr;
    };
    if (name.empty()) {
        return refuse("no port name");
    }
    // Non-blocking so that neither the open nor a later write can hang on modem lines.
    const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return refuse(errnoText(name.c_str()));
    }
    if (!isatty(fd)) {
        ::close(fd);
        return refuse(name + ": not a terminal device");
    }
    // flock covers this process's other opens; TIOCEXCL covers other programs that do not lock.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const std::string why = errno == EWOULDBLOCK ? name + ": port in use" : errnoText("flock");
        ::close(fd);
        return refuse(why);
    }
    if (ioctl(fd, TIOCEXCL) != 0) {
        const std::string why = errnoText("TIOCEXCL");
        ::close(fd);
        return refuse(why);
    }
    return std::unique_ptr<Port>(new Port(fd, name));
}

Port::Port(int fd, std::string name)
    : fd_(fd), name_(std::move(name)), gapUs_(serial::interByteGapUs(9600))
{
}

Port::~Port()
{
    // A pseudo-terminal's slave keeps its exclusive mode while the master lives; clear it so the
    // next open succeeds.
    ioctl(fd_, TIOCNXCL);
    flock(fd_, LOCK_UN);
    ::close(fd_);
}

bool Port::fail(const char* what)
{
    error_ = errnoText(what);
    return false;
}

bool Port::configure(int baud)
{
    const speed_t speed = speedFor(baud);
    if (speed == B0) {
        error_ = "unsupported baud rate " + std::to_string(baud);
        return false;
    }
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) {
        return fail("tcgetattr");
    }
    tio.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | CRTSCTS);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0) {
        return fail("cfsetspeed");
    }
    if (tcsetattr(fd_, TCSANOW, &tio) != 0) {
        return fail("tcsetattr");
    }
    gapUs_ = serial::interByteGapUs(baud);
    // DTR and RTS up. A pseudo-terminal has no modem lines; that is not a failure of the settings.
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (ioctl(fd_, TIOCMBIS, &lines) != 0 && errno != ENOTTY && errno != EINVAL) {
        return fail("TIOCMBIS");
    }
    return true;
}

void Port::purgeInput()
{
    tcflush(fd_, TCIFLUSH);
}

void Port::purgeOutput()
{
    tcflush(fd_, TCOFLUSH);
}

bool Port::setRts(bool raised)
{
    int line = TIOCM_RTS;
    if (ioctl(fd_, raised ? TIOCMBIS : TIOCMBIC, &line) != 0) {
        return fail(raised ? "raise RTS" : "drop RTS");
    }
    return true;
}

bool Port::writeAll(const std::uint8_t* data, std::size_t length)
{
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd_, data + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return fail("write");
        }
        const int ready = waitFor(fd_, POLLOUT, kWriteStallMs * 1000L);
        if (ready <= 0 || (ready & (POLLERR | POLLHUP | POLLNVAL))) {
            error_ = "write: the port stopped taking bytes";
            return false;
        }
    }
    if (tcdrain(fd_) != 0) {
        return fail("tcdrain");
    }
    return true;
}

std::size_t Port::read(std::uint8_t* buffer, std::size_t length, int timeoutMs)
{
    std::size_t got = 0;
    const auto firstByteDeadline = Clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    while (got < length) {
        const long waitUs = got == 0 ? microsecondsLeft(firstByteDeadline) : gapUs_;
        const int ready = waitFor(fd_, POLLIN, waitUs);
        if (ready == 0) {
            break; // time-out before the first byte, or the gap after the last one
        }
        if (ready < 0) {
            fail("poll");
            break;
        }
        if (ready & POLLIN) {
            const ssize_t n = ::read(fd_, buffer + got, length - got);
            if (n > 0) {
                got += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                continue;
            }
            if (n < 0) {
                fail("read");
            } else {
                error_ = "read: end of file";
            }
            break;
        }
        // Hang-up or error without data: the peer is gone; waiting would only spin on it.
        error_ = "read: the port has gone";
        break;
    }
    return got;
}

} // namespace kivo::serial
