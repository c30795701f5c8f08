#include "LowLatency.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

void requestLowLatency(int fileDescriptor) {
#ifdef Q_OS_LINUX
    serial_struct serial{};
    if (fileDescriptor < 0 || ::ioctl(fileDescriptor, TIOCGSERIAL, &serial) != 0)
        return;
    if ((serial.flags & ASYNC_LOW_LATENCY) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(fileDescriptor, TIOCSSERIAL, &serial);
    }
#else
    Q_UNUSED(fileDescriptor);
#endif
}
