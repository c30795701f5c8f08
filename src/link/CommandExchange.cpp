#include "CommandExchange.h"

#include <QEventLoop>

CommandExchange::CommandExchange(QObject* parent) : QObject(parent) {}

void CommandExchange::SetMessageInProgress() {
    MessageInProgress = true;
}

void CommandExchange::PutMessageStatus(CompletionStatus status) {
    // A late time-out, a second report of the same completion or an unsolicited
    // acknowledgement finds nothing in progress and changes nothing.
    if (!MessageInProgress)
        return;
    MessageInProgress = false;
    MessageFailed = false;
    MessageTimedOut = false;
    switch (status) {
    case CompletionStatus::Refused:
        MessageFailed = true;
        break;
    case CompletionStatus::OK:
        break;
    case CompletionStatus::NoResponse:
        MessageTimedOut = true;
        break;
    case CompletionStatus::CommsError:
        // The module answered but its reply was damaged, so the command has not
        // succeeded; it did answer, so it is not a time-out either.
        MessageFailed = true;
        break;
    }
    emit completed();
}

void CommandExchange::PutCommandOKFromTgt(bool commandOK) {
    PutMessageStatus(commandOK ? CompletionStatus::OK : CompletionStatus::Refused);
}

void CommandExchange::WaitWhileInProgress() {
    if (!MessageInProgress)
        return;
    // Completions arrive only from event handlers on this thread, so nothing
    // can complete between the test above and exec() below.
    QEventLoop loop;
    connect(this, &CommandExchange::completed, &loop, &QEventLoop::quit);
    loop.exec();
    // exec() also returns when the application is quitting; the wait always
    // ends with the command completed.
    if (MessageInProgress)
        AbandonWait();
}

CommandOutcome CommandExchange::WaitForOutcome() {
    WaitWhileInProgress();
    if (MessageFailed)
        return CommandOutcome::Refused;
    if (MessageTimedOut)
        return CommandOutcome::NoResponse;
    return CommandOutcome::Succeeded;
}

const QString& OutcomeTexts::textFor(CommandOutcome outcome) const {
    switch (outcome) {
    case CommandOutcome::Refused:
        return refused;
    case CommandOutcome::NoResponse:
        return noResponse;
    case CommandOutcome::Succeeded:
        break;
    }
    return succeeded;
}

void CommandExchange::AbandonWait() {
    PutMessageStatus(CompletionStatus::NoResponse);
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
