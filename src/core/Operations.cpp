#include "Operations.h"

#include "CommsLink.h"
#include "Maintenance.h"
#include "TargetSession.h"

Operations::Operations(CommandExchange& exchange, CommsLink& link, TargetSession& target,
                       Maintenance& maintenance, QObject* parent)
    : QObject(parent), Exchange(exchange), Link(link), Target(target), Maint(maintenance) {
    connect(&Exchange, &CommandExchange::completed, this, [this] {
        if (Settling && !Exchange.GetMessageInProgress())
            Settling.reset();
    });
}

void Operations::RequestTargetID() {
    if (const OperationScope gate(Exchange); gate)
        Target.RequestTargetID();
}

void Operations::EraseTarget() {
    if (const OperationScope gate(Exchange); gate)
        Maint.EraseTarget();
}

void Operations::WipeTarget() {
    if (const OperationScope gate(Exchange); gate)
        Maint.WipeTarget();
}

void Operations::RestoreSerialBackup() {
    if (const OperationScope gate(Exchange); gate)
        Maint.RestoreSerialBackup();
}

void Operations::Restart() {
    Settling.emplace(Exchange);
    if (!*Settling) {
        Settling.reset();
        return;
    }
    Maint.Restart();
    // Nothing could be sent (the program is closing): nothing to settle.
    if (!Exchange.GetMessageInProgress())
        Settling.reset();
}

void Operations::RestartIntoBootloader(bool SwitchBaud) {
    Settling.emplace(Exchange);
    if (!*Settling) {
        Settling.reset();
        return;
    }
    connect(
        &Link, &CommsLink::baudRateReset, this, [this] { Settling.reset(); }, Qt::SingleShotConnection);
    Maint.RestartIntoBootloader(SwitchBaud);
}
