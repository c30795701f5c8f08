#include "TargetSession.h"

#include "CommsLink.h"
#include "Reporter.h"

TargetSession::TargetSession(CommsLink& link, Reporter& reporter, QObject* parent)
    : QObject(parent), Link(link), Report(reporter) {
    connect(&Link, &CommsLink::identityReplyReceived, this, &TargetSession::PutStatusFromTarget);
}

CommandOutcome TargetSession::RequestIDFromTarget() {
    OutMsg message{};
    message[0] = Frame::kRequestIdentity;
    return Link.Transact(message, 2, ReplyKind::Identity);
}

CommandOutcome TargetSession::RequestTargetID() {
    static const OutcomeTexts texts{QStringLiteral("ID Request Failed."), QStringLiteral("No response."),
                                    QStringLiteral("ID Request OK.")};
    Report.UpdateStatusDisp(QStringLiteral("Requesting Target ID"));
    const CommandOutcome outcome = RequestIDFromTarget();
    Report.UpdateStatusDisp(texts.textFor(outcome));
    return outcome;
}

void TargetSession::PutStatusFromTarget(const RxMsg& Data) {
    Identity = DecodeIdentityReply(Data);
    emit identityUpdated();
    FlagTgtStatusRead();
}

void TargetSession::SetAppVersion(qint16 major, qint16 minor) {
    Identity.AppVersionMajor = major;
    Identity.AppVersionMinor = minor;
    emit appVersionEdited();
}

void TargetSession::FlagTgtStatusRead() {
    TgtStatusRead = true;
    emit targetStatusRead();
}
