// The PC's side of the line, in plain POSIX, for the tests.
#pragma once

#include "tools/unitsim/protocol.h"

#include <chrono>
#include <stdexcept>
#include <string>
#include <system_error>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace kivo::unitsim::testing {

class PtyClient {
public:
    explicit PtyClient(const std::string& path, int flags = 0)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | flags);
        if (fd_ < 0)
            throw std::system_error(errno, std::generic_category(), "open " + path);
        termios t{};
        if (tcgetattr(fd_, &t) == 0) {
            cfmakeraw(&t);
            cfsetispeed(&t, B9600);
            cfsetospeed(&t, B9600);
            tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~PtyClient()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    int fd() const { return fd_; }

    void write(const Bytes& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw std::system_error(errno, std::generic_category(), "write");
            done += static_cast<std::size_t>(n);
        }
    }

    // Reads until `count` bytes have come or `timeoutMs` has passed.
    Bytes read(std::size_t count, int timeoutMs = 2000)
    {
        Bytes out;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            std::uint8_t buffer[256];
            const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - out.size()));
            if (n > 0)
                out.insert(out.end(), buffer, buffer + n);
        }
        return out;
    }

    // Everything that arrives within `ms`.
    Bytes drain(int ms) { return read(4096, ms); }

    // One request and the reply of the length the PC expects.
    Bytes exchange(const Bytes& request, std::size_t replyLength, int timeoutMs = 2000)
    {
        write(request);
        return read(replyLength, timeoutMs);
    }

private:
    int fd_ = -1;
};

} // namespace kivo::unitsim::testing
