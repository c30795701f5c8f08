#include "CommandExchange.h"

#include "Reporter.h"

#include <QEventLoop>

CommandExchange::CommandExchange(QObject* parent) : QObject(parent) {}

void CommandExchange::SetMessageInProgress(ReplyKind awaited, Deadline deadline) {
    MessageInProgress = true;
    NoPort = false;
    Awaited = awaited;
    AwaitedDeadline = deadline;
}

bool CommandExchange::PutMessageStatus(CompletionStatus status) {
    // A late time-out, a second report of the same completion or an unsolicited
    // acknowledgement finds nothing in progress and changes nothing.
    if (!MessageInProgress)
        return false;
    MessageInProgress = false;
    MessageFailed = false;
    MessageTimedOut = false;
    PortFailed = false;
    switch (status) {
    case CompletionStatus::Refused:
        MessageFailed = true;
        break;
    case CompletionStatus::OK:
        break;
    case CompletionStatus::NoResponse:
        MessageTimedOut = true;
        PortFailed = NoPort;
        break;
    case CompletionStatus::PortFailure:
        MessageTimedOut = true;
        PortFailed = true;
        break;
    case CompletionStatus::CommsError:
        // The module answered but its reply was damaged, so the command has not
        // succeeded; it did answer, so it is not a time-out either.
        MessageFailed = true;
        break;
    }
    emit completed();
    return true;
}

bool CommandExchange::PutCommandOKFromTgt(bool commandOK) {
    // A refusal answers whatever was asked; an acceptance answers only a
    // command that awaits an acknowledgement.
    if (commandOK && Awaited != ReplyKind::Acknowledgement)
        return false;
    return PutMessageStatus(commandOK ? CompletionStatus::OK : CompletionStatus::Refused);
}

bool CommandExchange::putDataReply(ReplyKind kind) {
    if (kind != Awaited)
        return false;
    return PutMessageStatus(CompletionStatus::OK);
}

bool CommandExchange::putDamagedReply() {
    // Only a command that awaits data can have been answered by a data frame.
    if (Awaited == ReplyKind::Acknowledgement)
        return false;
    return PutMessageStatus(CompletionStatus::CommsError);
}

bool CommandExchange::putLinkTimeout() {
    if (AwaitedDeadline != Deadline::Link)
        return false;
    return PutMessageStatus(CompletionStatus::NoResponse);
}

bool CommandExchange::putOwnDeadline() {
    return PutMessageStatus(CompletionStatus::NoResponse);
}

bool CommandExchange::putWriteFailure() {
    return PutMessageStatus(CompletionStatus::PortFailure);
}

Outcome CommandExchange::waitForOutcome() {
    // Completions arrive only from event handlers on this thread. Each pass
    // sleeps until an event arrives (a byte, a timer, a click) and handles
    // it; the completion is one of them. Testing the flag after each pass,
    // rather than quitting a nested loop from the completion, spares every
    // command a wake-up of the dispatcher.
    QEventLoop loop;
    while (MessageInProgress)
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    return lastOutcome();
}

Outcome CommandExchange::lastOutcome() const {
    if (Closed)
        return Outcome::Abandoned;
    if (MessageFailed)
        return Outcome::Refused;
    if (MessageTimedOut)
        return PortFailed ? Outcome::PortError : Outcome::NoResponse;
    return Outcome::Succeeded;
}

void CommandExchange::close() {
    Closed = true;
    PutMessageStatus(CompletionStatus::NoResponse);
}

const QString& OutcomeTexts::textFor(Outcome outcome) const {
    switch (outcome) {
    case Outcome::Refused:
        return refused;
    case Outcome::Succeeded:
        return succeeded;
    case Outcome::Abandoned: {
        static const QString kNothing;
        return kNothing;
    }
    default:
        return noResponse;
    }
}

Outcome OutcomeTexts::show(Reporter& report, Outcome outcome) const {
    report.status(textFor(outcome));
    return outcome;
}

bool CommandExchange::tryBeginOperation() {
    if (OperationActive)
        return false;
    OperationActive = true;
    emit operationActiveChanged(true);
    return true;
}

void CommandExchange::endOperation() {
    OperationActive = false;
    emit operationActiveChanged(false);
}

OperationScope::OperationScope(CommandExchange& exchange)
    : Exchange(exchange), Granted(exchange.tryBeginOperation()) {}

OperationScope::~OperationScope() {
    if (Granted)
        Exchange.endOperation();
}
