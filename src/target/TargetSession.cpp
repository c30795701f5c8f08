#include "TargetSession.h"

#include "CommandExchange.h"
#include "CommsLink.h"
#include "Reporter.h"

TargetSession::TargetSession(CommsLink& link, CommandExchange& exchange, Reporter& reporter, QObject* parent)
    : QObject(parent), Link(link), Exchange(exchange), Report(reporter) {
    connect(&Link, &CommsLink::identityReplyReceived, this, &TargetSession::PutStatusFromTarget);
}

void TargetSession::RequestIDFromTarget() {
    OutMsg message{};
    message[0] = Frame::kRequestIdentity;
    Exchange.SetMessageInProgress();
    Link.SendMessage(message, 2);
}

void TargetSession::RequestTargetID() {
    const OperationScope operation(Exchange);
    if (!operation.granted())
        return;
    Report.UpdateStatusDisp(QStringLiteral("Requesting Target ID"));
    RequestIDFromTarget();
    static const OutcomeTexts texts{QStringLiteral("ID Request Failed."), QStringLiteral("No response."),
                                    QStringLiteral("ID Request OK.")};
    Report.UpdateStatusDisp(texts.textFor(Exchange.WaitForOutcome()));
}

void TargetSession::PutStatusFromTarget(const RxMsg& Data) {
    Identity = DecodeIdentityReply(Data);
    emit identityUpdated();
    FlagTgtStatusRead();
}

void TargetSession::SetAppVersion(qint16 major, qint16 minor) {
    Identity.AppVersionMajor = major;
    Identity.AppVersionMinor = minor;
    emit identityUpdated();
}

void TargetSession::FlagTgtStatusRead() {
    TgtStatusRead = true;
    emit targetStatusRead();
}
