#pragma once

#include "Outcome.h"

#include <QObject>

class Reporter;
#include <QString>

// Completion of a command, as reported by the reply routing and the reply
// time-out.
enum class CompletionStatus : qint16 {
    Refused = 0,    // acknowledgement 171
    OK = 1,         // acknowledgement 91, or the awaited data reply
    NoResponse = 2, // reply time-out
    CommsError = 3, // a data reply with a wrong checksum
    // Not the module's: the command could not be written, the port failed.
    PortFailure = 4,
};

// The reply that completes a command. A refusal or the time-out completes any
// command; a reply of another kind completes none.
enum class ReplyKind { Acknowledgement, Identity, EncryptedPage };

// Who decides that a command went unanswered: the link's reply time-out, or a
// timer of the operation's own (the capture's page timer).
enum class Deadline { Link, Own };

// The status texts an operation shows for each outcome of a command; a port
// that failed reads as not answered, and an abandoned command shows nothing.
struct OutcomeTexts {
    QString refused;
    QString noResponse;
    QString succeeded;
    const QString& textFor(Outcome outcome) const;
    // Shows the outcome's text in both status lines and hands the outcome on.
    Outcome show(Reporter& report, Outcome outcome) const;
};

// The completion flags of the one command that may be awaited at a time, the
// one wait, and the gate that lets one operation run at a time.
//
// The link marks a command in progress with the reply it awaits, sends it and
// waits; the first completing report while it is in progress counts, later
// ones are ignored.
class CommandExchange : public QObject {
    Q_OBJECT
public:
    explicit CommandExchange(QObject* parent = nullptr);

    bool GetMessageInProgress() const { return MessageInProgress; }
    // How the last completed command ended, read from the flags.
    Outcome lastOutcome() const;

    // The program is closing: the command in progress ends as abandoned, and
    // every later one is abandoned before it is sent.
    void close();
    bool closed() const { return Closed; }
    // The run is to end at the next step: the command in progress completes
    // as it will, and every later one is abandoned before it is sent, except
    // inside an Unstoppable section.
    void requestStop() { Stopping = true; }
    bool stopRequested() const { return Stopping; }
    // Whether a command may be sent now.
    bool sendAllowed() const { return !Closed && (!Stopping || Unstoppables > 0); }

    bool operationActive() const { return OperationActive; }

signals:
    // A command in progress has completed (with whatever status).
    void completed();
    // An operation has taken (true) or released (false) the gate.
    void operationActiveChanged(bool active);

private:
    // The link marks commands in progress, reports their completions and waits.
    friend class CommsLink;
    friend class OperationScope;
    friend class Unstoppable;

    void SetMessageInProgress(ReplyKind awaited, Deadline deadline = Deadline::Link);
    // Reports from the link. Each answers whether it completed the command in
    // progress.
    bool PutCommandOKFromTgt(bool commandOK); // acknowledgement 91 or 171
    bool putDataReply(ReplyKind kind);        // a good identity or page reply
    bool putDamagedReply();                   // a data reply with a wrong checksum
    bool putLinkTimeout();                    // the link's reply time-out ran out
    bool putOwnDeadline();                    // the operation's own timer ran out
    bool putWriteFailure();                   // the command could not be written
    // The command went out with no port open: if it goes unanswered, the
    // port is why.
    void noteNoPort() { NoPort = true; }
    // Blocks in a local event loop until the command in progress completes and
    // reads the flags. Uses no CPU while it waits.
    Outcome waitForOutcome();

    bool tryBeginOperation();
    void endOperation();
    bool PutMessageStatus(CompletionStatus status);

    bool MessageInProgress = false;
    bool MessageFailed = false;
    bool MessageTimedOut = false;
    bool PortFailed = false; // the last command was not answered because of the port
    bool NoPort = false;     // the command in progress went out with no port open
    ReplyKind Awaited = ReplyKind::Acknowledgement;
    Deadline AwaitedDeadline = Deadline::Link;
    bool Closed = false;
    bool Stopping = false;
    int Unstoppables = 0;
    bool OperationActive = false;
};

// Steps that belong together whatever happens (a serial number written and
// then logged): a stop request waits until they are done. Closing the program
// still ends them.
class Unstoppable {
public:
    explicit Unstoppable(CommandExchange& exchange) : Exchange(exchange) { ++Exchange.Unstoppables; }
    ~Unstoppable() { --Exchange.Unstoppables; }
    Unstoppable(const Unstoppable&) = delete;
    Unstoppable& operator=(const Unstoppable&) = delete;

private:
    CommandExchange& Exchange;
};

// The one-operation gate, held by what a window starts for its whole run.
// Not granted while another operation runs; the caller then does nothing. The
// steps an operation is built from do not take it.
class OperationScope {
public:
    explicit OperationScope(CommandExchange& exchange);
    ~OperationScope();
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

    bool granted() const { return Granted; }
    explicit operator bool() const { return Granted; }

private:
    CommandExchange& Exchange;
    bool Granted;
};
