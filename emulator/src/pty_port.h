// The device's end of the serial line: a pseudo-terminal in raw mode whose
// slave is published as "<dir>/ttyACM<port>".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvo::sim {

class PtyPort {
public:
    PtyPort() = default;
    ~PtyPort() { close(); }
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    /** Opens a new pty and links linkPath to its slave (replacing a stale link). */
    bool open(const std::string& linkPath);
    /** Removes the link and closes the master. */
    void close();
    bool isOpen() const { return master_ >= 0; }
    int fd() const { return master_; }

    enum class ReadResult { Data, Nothing, HungUp };
    /** Non-blocking read. HungUp: no host has the slave open. */
    ReadResult read(uint8_t* buffer, size_t capacity, size_t& got);
    /** Drops what the host left unread when it closed the port, as closing a
     *  real serial port does; a pty would hand it to the next opener. */
    void discardUnread();
    /** Writes all bytes (waiting briefly while the host's buffer is full);
     *  false if the host is gone. */
    bool write(const uint8_t* data, size_t count);

private:
    int master_ = -1;
    std::string link_;
    std::string slave_;
};

}  // namespace orvo::sim
