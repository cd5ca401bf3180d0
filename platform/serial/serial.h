// The serial line on POSIX termios: what the link library needs to send one frame and read one
// reply on a half-duplex line, and nothing about frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kivo::serial {

class Port {
public:
    // Opens `name` exactly as given (a device path such as /dev/ttyUSB0), for reading and
    // writing, exclusively: a second open of the same device fails until this one is closed, from
    // this process too. Only a terminal device opens; a missing path, a regular file, a directory
    // or /dev/null gives nullptr and nothing is written to it. `error` receives why.
    static std::unique_ptr<Port> open(const std::string& name, std::string* error = nullptr);

    ~Port();
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    // Raw line at `baud`, 8 data bits, no parity, no flow control, receiver on, modem control
    // lines ignored, DTR and RTS raised. The stop bits stay as the driver had them. False when the
    // driver refuses the settings; the port stays open either way.
    bool configure(int baud = 9600);

    // Drop whatever has arrived but was not read / was written but has not gone out yet.
    void purgeInput();
    void purgeOutput();

    // Raise or drop RTS. False when the driver cannot (a pseudo-terminal answers ENOTTY).
    bool setRts(bool raised);

    // Writes the whole buffer and waits until it has gone out. False on any failure or a short
    // write; a peer that stops taking bytes fails the write after a bounded wait instead of
    // hanging it.
    bool writeAll(const std::uint8_t* data, std::size_t length);

    // Reads up to `length` bytes. Waits at most `timeoutMs` for the first byte; after it, the read
    // ends when `length` bytes are in or the line stays quiet for longer than interByteGapUs().
    // Returns the count read; 0 when nothing came (also when the port failed).
    std::size_t read(std::uint8_t* buffer, std::size_t length, int timeoutMs);

    // The quiet time that ends a read: the larger of 1 ms and three character times at the
    // configured rate (a precise 1 ms would cut a reply whose bytes arrive at line rate).
    long interByteGapUs() const { return gapUs_; }

    const std::string& name() const { return name_; }
    int fd() const { return fd_; }
    // Why the last failing call failed.
    const std::string& lastError() const { return error_; }

private:
    Port(int fd, std::string name);
    bool fail(const char* what);

    int fd_;
    std::string name_;
    long gapUs_;
    std::string error_;
};

// The gap for a given rate, 10 bits to a character (start, 8 data, stop).
long interByteGapUs(int baud);

} // namespace kivo::serial
