#include "CoreView.h"

#include "BootloaderCore.h"
#include "CommsLink.h"
#include "FirmwareCapture.h"
#include "FirmwareProgrammer.h"
#include "SerialAllocation.h"
#include "TargetSession.h"

const TargetIdentity& CoreView::identity() const {
    return Core.target().identity();
}

bool CoreView::moduleRead() const {
    return Core.target().tgtStatusRead();
}

const FirmwareImage& CoreView::firmware() const {
    return Core.programmer().image();
}

QString CoreView::firmwareFile() const {
    return Core.programmer().FirmwareFilename();
}

bool CoreView::firmwareLoaded() const {
    return Core.programmer().GetFWFileLoaded();
}

bool CoreView::firmwareMatchesModule() const {
    return Core.programmer().FirmwareMatchesTarget();
}

const CaptureSettings& CoreView::captureSettings() const {
    return Core.capture().settings();
}

int CoreView::pagesCaptured() const {
    return Core.capture().PagesUploaded();
}

const IdBlock& CoreView::serialBlock() const {
    return Core.serials().setSerialData();
}

std::optional<qint32> CoreView::nextSerial() const {
    return Core.serials().nextSerial();
}

QString CoreView::memo() const {
    return Core.serials().memo();
}

bool CoreView::serialLogOpen() const {
    return Core.serials().SerialDBOpen();
}

QString CoreView::serialLogName() const {
    return Core.serials().serialDbFileName();
}

const LedgerView& CoreView::serialLog() const {
    return Core.serials().ledgerView();
}

int CoreView::selectedPort() const {
    return Core.link().selectedPort();
}

QString CoreView::device() const {
    return Core.link().device();
}

bool CoreView::portOpen() const {
    return Core.link().portOK();
}

QString CoreView::deviceForPort(int port) const {
    return Core.link().ports().deviceForPort(port);
}

bool CoreView::portFound(int port) const {
    return Core.link().scan().portAvailable(port);
}

bool CoreView::operationRunning() const {
    return Core.exchange().operationActive();
}
