#include "pty_port.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace orvo::sim {

namespace {

constexpr int kWriteWaitMs = 200;

// Bytes must pass unchanged: no echo, no CR/LF mapping, no flow control.
void makeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(fd, TCSANOW, &tio);
}

bool linkSlave(const std::string& slave, const std::string& linkPath) {
    ::unlink(linkPath.c_str());
    return ::symlink(slave.c_str(), linkPath.c_str()) == 0;
}

}  // namespace

bool PtyPort::open(const std::string& linkPath) {
    close();
    const int fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0) return false;
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    makeRaw(fd);
    const char* slave = ptsname(fd);
    if (!slave || !linkSlave(slave, linkPath)) {
        ::close(fd);
        return false;
    }
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    master_ = fd;
    link_ = linkPath;
    slave_ = slave;
    return true;
}

void PtyPort::close() {
    if (!link_.empty()) ::unlink(link_.c_str());
    link_.clear();
    if (master_ >= 0) ::close(master_);
    master_ = -1;
    slave_.clear();
}

void PtyPort::discardUnread() {
    if (slave_.empty()) return;
    const int fd = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    tcflush(fd, TCIFLUSH);
    ::close(fd);
}

PtyPort::ReadResult PtyPort::read(uint8_t* buffer, size_t capacity, size_t& got) {
    got = 0;
    if (master_ < 0) return ReadResult::HungUp;
    const ssize_t n = ::read(master_, buffer, capacity);
    if (n > 0) {
        got = size_t(n);
        return ReadResult::Data;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return ReadResult::Nothing;
    // Linux: EIO while no slave is open; macOS may report end of file.
    return ReadResult::HungUp;
}

bool PtyPort::write(const uint8_t* data, size_t count) {
    size_t done = 0;
    while (done < count && master_ >= 0) {
        const ssize_t n = ::write(master_, data + done, count - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return false;
        pollfd p{master_, POLLOUT, 0};
        if (::poll(&p, 1, kWriteWaitMs) <= 0) return false;
    }
    return done == count;
}

}  // namespace orvo::sim
