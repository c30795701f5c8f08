#include "PseudoTerminal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
QString systemError(const char* what) {
    return QStringLiteral("%1: %2").arg(what, strerror(errno));
}

int baudFromSpeed(speed_t speed) {
    switch (speed) {
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    default:
        return 0;
    }
}

// A raw line at the bootloader speed until the tool sets its own.
void setBootloaderLine(int fd) {
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B115200);
    ::cfsetospeed(&tio, B115200);
    ::tcsetattr(fd, TCSANOW, &tio);
}
} // namespace

PseudoTerminal::~PseudoTerminal() {
    if (HeldSlave >= 0)
        ::close(HeldSlave);
    if (Master >= 0)
        ::close(Master);
}

bool PseudoTerminal::open(QString* error) {
    Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (Master < 0 || ::grantpt(Master) != 0 || ::unlockpt(Master) != 0) {
        if (error)
            *error = systemError("posix_openpt");
        return false;
    }
    char name[128] = {};
    if (::ptsname_r(Master, name, sizeof name) != 0) {
        if (error)
            *error = systemError("ptsname");
        return false;
    }
    SlavePath = QString::fromLocal8Bit(name);
    HeldSlave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (HeldSlave < 0) {
        if (error)
            *error = systemError("open slave");
        return false;
    }
    setBootloaderLine(HeldSlave);
    return true;
}

int PseudoTerminal::baudRate() const {
    termios tio{};
    if (::tcgetattr(HeldSlave >= 0 ? HeldSlave : Master, &tio) != 0)
        return 0;
    return baudFromSpeed(::cfgetospeed(&tio));
}

void PseudoTerminal::closeModuleSide() {
    if (HeldSlave >= 0)
        ::close(HeldSlave);
    if (Master >= 0)
        ::close(Master);
    HeldSlave = -1;
    Master = -1;
}

bool PseudoTerminal::hangUp(QString* error) {
    if (::ioctl(HeldSlave, TIOCVHANGUP) != 0) {
        if (error)
            *error = systemError("TIOCVHANGUP");
        return false;
    }
    ::close(HeldSlave);
    HeldSlave = ::open(SlavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (HeldSlave < 0) {
        if (error)
            *error = systemError("reopen slave");
        return false;
    }
    setBootloaderLine(HeldSlave); // a hang-up leaves the line at its defaults
    return true;
}
