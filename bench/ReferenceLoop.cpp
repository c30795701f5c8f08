#include "ReferenceLoop.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <vector>

namespace {
qint64 nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<qint64>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// A raw 115200 8N1 line, closed with the object.
class RawLine {
public:
    explicit RawLine(const QString& device)
        : Fd(::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY)) {
        if (Fd < 0)
            return;
        termios t{};
        tcgetattr(Fd, &t);
        cfmakeraw(&t);
        cfsetispeed(&t, B115200);
        cfsetospeed(&t, B115200);
        tcsetattr(Fd, TCSANOW, &t);
        tcflush(Fd, TCIOFLUSH);
    }
    ~RawLine() {
        if (Fd >= 0)
            ::close(Fd);
    }
    RawLine(const RawLine&) = delete;
    RawLine& operator=(const RawLine&) = delete;

    bool ok() const { return Fd >= 0; }
    bool write(const std::vector<unsigned char>& frame) {
        return ::write(Fd, frame.data(), frame.size()) == static_cast<ssize_t>(frame.size());
    }
    // Reads exactly `count` bytes, waiting at most 2 s for each; with a
    // store, writes them to it as one line, as a capture keeps its pages.
    bool read(size_t count, int store) {
        unsigned char buffer[512];
        size_t got = 0;
        while (got < count) {
            pollfd p{Fd, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0)
                return false;
            const ssize_t n = ::read(Fd, buffer + got, std::min(sizeof buffer - got, count - got));
            if (n <= 0)
                return false;
            got += static_cast<size_t>(n);
        }
        return store < 0 || ::write(store, buffer, got + 1) == static_cast<ssize_t>(got + 1);
    }

private:
    int Fd;
};

std::vector<unsigned char> frame(unsigned char code, const unsigned char* data, size_t size) {
    std::vector<unsigned char> frame{0x5A, code};
    unsigned char sum = code;
    for (size_t i = 0; i < size; ++i) {
        frame.push_back(data[i]);
        sum = static_cast<unsigned char>(sum + data[i]);
    }
    frame.push_back(sum);
    return frame;
}

CaseFigures run(const QString& device, int pages, double bytesPerPage, bool lineRate,
                const std::vector<std::vector<unsigned char>>& frames, size_t replyBytes, int store = -1) {
    RawLine line(device);
    if (!line.ok())
        return {};
    const CpuClock cpu;
    std::vector<qint64> marks{nowNs()};
    for (int page = 0; page < pages; ++page) {
        if (!line.write(frames[static_cast<size_t>(page)]) || !line.read(replyBytes, store))
            break;
        marks.push_back(nowNs());
    }
    return figures(marks, bytesPerPage, lineRate, cpu.elapsedMs());
}
} // namespace

CaseFigures referenceProgram(const QString& device, const QString& firmwareFile, int pages, bool lineRate) {
    QFile file(firmwareFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    std::vector<std::vector<unsigned char>> frames;
    for (int page = 0; page < pages; ++page) {
        const auto* record = reinterpret_cast<const unsigned char*>(bytes.constData()) + 11 +
                             static_cast<qsizetype>(page) * 268;
        frames.push_back(frame(18, record, 264));
    }
    return run(device, pages, 267 + 2, lineRate, frames, 2);
}

CaseFigures referenceCapture(const QString& device, const QString& storeFile, int pages, bool lineRate) {
    std::vector<std::vector<unsigned char>> frames;
    for (int page = 0; page < pages; ++page) {
        const unsigned char request[8] = {1, 10, 0, 0, 0, 0, static_cast<unsigned char>(page), 0};
        frames.push_back(frame(20, request, sizeof request));
    }
    // Each page goes to a file, as the tool's capture keeps it.
    const int store =
        ::open(storeFile.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const CaseFigures figures = run(device, pages, 11 + 267, lineRate, frames, 267, store);
    if (store >= 0)
        ::close(store);
    return figures;
}
