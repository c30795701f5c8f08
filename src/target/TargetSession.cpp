#include "TargetSession.h"

#include "CommsLink.h"
#include "OperatorNumber.h"
#include "Reporter.h"

TargetSession::TargetSession(CommsLink& link, Reporter& reporter, QObject* parent)
    : QObject(parent), Link(link), Report(reporter) {
    connect(&Link, &CommsLink::identityReplyReceived, this, &TargetSession::PutStatusFromTarget);
}

Outcome TargetSession::RequestIDFromTarget() {
    OutMsg message{};
    message[0] = Frame::kRequestIdentity;
    return Link.transact(message, 2, ReplyKind::Identity);
}

Outcome TargetSession::RequestTargetID() {
    static const OutcomeTexts kTexts{QStringLiteral("ID Request Failed."), QStringLiteral("No response."),
                                     QStringLiteral("ID Request OK.")};
    Report.status(QStringLiteral("Requesting Target ID"));
    const Outcome read = kTexts.show(Report, RequestIDFromTarget());
    Report.changed(Change::ModuleRead); // read or not, what comes next is another step
    return read;
}

void TargetSession::PutStatusFromTarget(const RxMsg& Data) {
    Identity = decodeIdentityReply(Data);
    ++IdentityReads;
    Report.changed(Change::Identity);
    FlagTgtStatusRead();
}

TargetSession::VersionEntry TargetSession::enterAppVersion(double major, double minor) {
    constexpr int kLowestVersion = 1;
    constexpr int kHighestVersion = 255;
    VersionEntry entry;
    if (const auto x = OperatorNumber::wholeInRange(major, kLowestVersion, kHighestVersion)) {
        Identity.AppVersionMajor = static_cast<qint16>(*x);
        entry.majorTaken = true;
    }
    if (const auto y = OperatorNumber::wholeInRange(minor, kLowestVersion, kHighestVersion)) {
        Identity.AppVersionMinor = static_cast<qint16>(*y);
        entry.minorTaken = true;
    }
    Report.changed(Change::AppVersion);
    return entry;
}

void TargetSession::FlagTgtStatusRead() {
    TgtStatusRead = true;
    Report.changed(Change::ModuleRead);
}
