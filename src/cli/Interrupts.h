#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

// SIGINT and SIGTERM as a Qt signal: the handler only writes a byte to a
// pipe; `interrupted` is emitted from the event loop, where the run can be
// ended at its next step.
class Interrupts : public QObject {
    Q_OBJECT
public:
    Interrupts();
    ~Interrupts() override;

    bool happened() const { return Happened; }

signals:
    void interrupted();

private:
    std::unique_ptr<QSocketNotifier> Notifier;
    bool Happened = false;
};
