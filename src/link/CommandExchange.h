#pragma once

#include <QObject>
#include <QString>

// Completion of a command, as reported by the reply routing and the reply
// time-out.
enum class CompletionStatus : qint16 {
    Refused = 0,    // acknowledgement 171
    OK = 1,         // acknowledgement 91, or a good data reply
    NoResponse = 2, // reply time-out
    CommsError = 3, // a data reply with a wrong checksum
};

// How an awaited command ended, as the operations read the flags: refusal
// first, then no reply, else success.
enum class CommandOutcome { Refused, NoResponse, Succeeded };

// The status texts an operation shows for each outcome.
struct OutcomeTexts {
    QString refused;
    QString noResponse;
    QString succeeded;
    const QString& textFor(CommandOutcome outcome) const;
};

// The completion flags of the one command that may be awaited at a time, and
// the one wait that every operation uses.
//
// A sender sets the command in progress, sends it, and calls
// WaitWhileInProgress(); the first status reported while in progress completes
// it, later ones are ignored. Only one waiting operation runs at a time: an
// operation holds an OperationScope for its whole length, and a second one is
// refused while the first waits.
class CommandExchange : public QObject {
    Q_OBJECT
public:
    explicit CommandExchange(QObject* parent = nullptr);

    void SetMessageInProgress();
    bool GetMessageInProgress() const { return MessageInProgress; }
    bool GetMessageFailed() const { return MessageFailed; }
    bool GetMessageTimedOut() const { return MessageTimedOut; }
    bool GetMessageSuccessful() const { return !MessageTimedOut && !MessageFailed && !MessageInProgress; }

    void PutMessageStatus(CompletionStatus status);
    void PutCommandOKFromTgt(bool commandOK);

    // Blocks in a local event loop until the command in progress completes.
    // Returns at once when nothing is in progress. Uses no CPU while it waits.
    void WaitWhileInProgress();
    // Waits, then reads the flags.
    CommandOutcome WaitForOutcome();

    // Completes the awaited command as not answered, for a window that closes
    // while an operation waits.
    void AbandonWait();

    bool operationActive() const { return OperationActive; }

signals:
    // A command in progress has completed (with whatever status).
    void completed();
    // A waiting operation has started (true) or ended (false).
    void operationActiveChanged(bool active);

private:
    friend class OperationScope;
    bool tryBeginOperation();
    void endOperation();

    bool MessageInProgress = false;
    bool MessageFailed = false;
    bool MessageTimedOut = false;
    bool OperationActive = false;
};

// Marks one waiting operation for its lifetime. Not granted when another
// operation is already running; the caller then does nothing.
class OperationScope {
public:
    explicit OperationScope(CommandExchange& exchange);
    ~OperationScope();
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

    bool granted() const { return Granted; }

private:
    CommandExchange& Exchange;
    bool Granted;
};
