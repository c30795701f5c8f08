#pragma once

#include "CommandExchange.h"
#include "TargetIdentity.h"

#include <QObject>

class CommsLink;
class Reporter;

// The connected module as the tool knows it: its identity record and the
// identity request.
class TargetSession : public QObject {
    Q_OBJECT
public:
    TargetSession(CommsLink& link, Reporter& reporter, QObject* parent = nullptr);

    // The identity read as a step: one transaction, its outcome.
    Outcome RequestIDFromTarget();
    // The identity read with its texts: "Requesting Target ID", then
    // "ID Request Failed.", "No response." or "ID Request OK.".
    Outcome RequestTargetID();
    // Takes over a good identity reply.
    void PutStatusFromTarget(const RxMsg& Data);

    const TargetIdentity& identity() const { return Identity; }
    // Identity replies taken over so far.
    int identityReads() const { return IdentityReads; }
    // The application version is the one field the operator may correct by
    // hand; the next identity reply replaces it. Each part is taken when it
    // lies in 1..255; the answer says which were.
    struct VersionEntry {
        bool majorTaken = false;
        bool minorTaken = false;
    };
    VersionEntry enterAppVersion(double major, double minor);

    qint16 GetTgtSystemID() const { return Identity.SystemID; }
    qint16 GetTgtSubsystemID() const { return Identity.SubsystemID; }
    // Programming always erases the whole memory, whatever the bootloader's
    // capability bits say.
    bool GetEraseEachPage() const { return false; }

    void FlagTgtStatusRead();
    bool tgtStatusRead() const { return TgtStatusRead; }

private:
    CommsLink& Link;
    Reporter& Report;
    TargetIdentity Identity;
    int IdentityReads = 0;
    bool TgtStatusRead = false;
};
