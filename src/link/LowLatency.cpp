#include "LowLatency.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

bool requestLowLatency(int fileDescriptor) {
#ifdef Q_OS_LINUX
    serial_struct serial{};
    if (fileDescriptor < 0 || ::ioctl(fileDescriptor, TIOCGSERIAL, &serial) != 0)
        return false;
    if (serial.flags & ASYNC_LOW_LATENCY)
        return true;
    serial.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(fileDescriptor, TIOCSSERIAL, &serial) == 0;
#else
    Q_UNUSED(fileDescriptor);
    return false;
#endif
}
