#pragma once

#include "ModuleEngine.h"
#include "Transport.h"

#include <QSet>
#include <QTimer>

#include <deque>

// The module engine behind an in-memory line, for unit tests of the link's
// logic without a pseudo-terminal. What the link writes the module hears at
// once; its answers come back through the event loop after their planned
// delay and pause, handed over whole or a byte at a time. The line has no
// pace of its own. Bytes that have arrived wait in the line until they are
// read or discarded, also while the port is closed, as on a real line.
class MemoryTransport : public Transport {
    Q_OBJECT
public:
    static inline const QString kDevice = QStringLiteral("memory");

    explicit MemoryTransport(QObject* parent = nullptr);

    ModuleEngine module;
    // What has arrived is handed over a byte at a time rather than whole.
    bool byteByByte = false;
    // Speeds the port does not take.
    QSet<qint32> refusedBauds;

    int baud() const { return Baud; }
    // Nothing the module sent is still to be handed over (or the port is closed).
    bool idle() const { return !Open || Line.empty(); }
    // Puts bytes on the line that answer nothing.
    void sendRaw(const QByteArray& bytes);
    // The module is gone: reading fails, and so do writing and opening.
    void pullCable();

    bool open(const QString& device) override;
    void close() override;
    bool isOpen() const override { return Open; }
    QString errorString() const override { return Error; }
    bool setLine(const LineSettings::Line& line) override;
    QString write(const QByteArray& frame) override;
    void discardInput() override;

private:
    void answer(const ModuleEngine::Answer& answer, qint64 nowNs);
    void schedule(const QByteArray& bytes, qint64 dueNs);
    void deliverDue();
    void scheduleDelivery();
    void failReading();

    struct Sent {
        QByteArray bytes;
        qint64 dueNs; // when it is in the line, on PreciseTimer's clock
    };
    std::deque<Sent> Line;
    QTimer Delivery;
    bool Open = false;
    bool Pulled = false;
    qint32 Baud = ModuleEngine::kBootloaderBaud;
    QString Error;
};
