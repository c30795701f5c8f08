#include "SerialAllocation.h"

#include "CommsLink.h"
#include "GeneralUtilities.h"
#include "OperatorNumber.h"
#include "Reporter.h"
#include "SerialRecord.h"
#include "TargetSession.h"

#include <QDateTime>
#include <QLocale>

namespace {
const OutcomeTexts kWriteTexts{QStringLiteral("Write Serial Failed."), QStringLiteral("No response."),
                               QStringLiteral("Write Serial OK.")};
} // namespace

SerialAllocation::SerialAllocation(CommsLink& link, TargetSession& target, Reporter& reporter,
                                   QObject* parent)
    : QObject(parent), Link(link), Target(target), Report(reporter) {
    PutNewSerialNo(1);
}

void SerialAllocation::PutNewSerialNo(qint32 NewSerial) {
    NextSerial = NewSerial;
    SetSerialData[3] = GeneralUtilities::LowByte(NewSerial);
    SetSerialData[4] = GeneralUtilities::HighByte(NewSerial);
    emit changed();
}

void SerialAllocation::PutSerialData(const IdBlock& block) {
    SetSerialData = block;
    emit changed();
}

void SerialAllocation::EnterSerialByte(int index, double value) {
    if (index < 0 || index >= static_cast<int>(SetSerialData.size()))
        return;
    if (const auto v = OperatorNumber::WholeInRange(value, 0, 255))
        SetSerialData[static_cast<size_t>(index)] = static_cast<qint16>(*v);
    emit changed();
}

void SerialAllocation::EnterNextSerial(double value) {
    if (const auto v = OperatorNumber::WholeInRange(value, kLowestSerial, kHighestSerial))
        NextSerial = *v;
    if (NextSerial)
        PutNewSerialNo(*NextSerial);
    else
        emit changed();
}

CommandOutcome SerialAllocation::WriteSerialNo() {
    OutMsg message{};
    message[0] = Frame::kWriteIdBlock;
    for (size_t i = 0; i < SetSerialData.size(); ++i)
        message[i + 1] = SetSerialData[i];
    Report.UpdateStatusDisp(QStringLiteral("Writing serial number ..."));
    const CommandOutcome outcome = Link.Transact(message, 10, ReplyKind::Acknowledgement);
    Report.UpdateStatusDisp(kWriteTexts.textFor(outcome));
    return outcome;
}

void SerialAllocation::ReadSerialDBFile(const QString& path) {
    DatabaseFile = path;
    const SerialLoad load = Database.Open(path);
    if (load.failed) {
        Report.ShowCritical(QString::fromLatin1(kSerialDBOpenTitle), load.MessageBoxText());
        emit changed();
        return;
    }
    // A field the last record cannot give sensibly keeps its present value.
    for (size_t i = 0; i < SetSerialData.size(); ++i)
        if (load.idBlock[i])
            SetSerialData[i] = *load.idBlock[i];
    if (load.memo) {
        Memo = *load.memo;
        emit memoChanged(Memo);
    }
    Report.UpdateStatusDisp(load.StatusText());
    if (load.nextSerial) {
        PutNewSerialNo(*load.nextSerial);
    } else {
        // Neither the present number nor any other may follow this log: it
        // could give a serial number twice.
        NextSerial.reset();
        emit changed();
    }
}

bool SerialAllocation::WriteSerialDBRecord() {
    if (!Database.IsOpen()) {
        Report.UpdateStatusDisp(QStringLiteral("Error: Serial DB file not open"));
        return false;
    }
    const qint32 serial = NextSerial.value_or(0);
    const QByteArray record =
        BuildSerialRecord(static_cast<quint16>(serial), SetSerialData, Target.identity(), Memo,
                          QDateTime::currentDateTime(), DateTimeSeparatorsOf(QLocale::system()));
    if (!Database.Append(record)) {
        Report.ShowCritical(QString::fromLatin1(kSerialDBWriteTitle), Database.WriteErrorText());
        // The file may be failing; the operator decides whether to go on
        // with it by choosing it again.
        Database.Close();
        Report.UpdateStatusDisp(QStringLiteral("Not logged: the module now holds serial number %1, which is "
                                               "not in the serial DB file. Choose the file again to go on.")
                                    .arg(serial));
        emit changed();
        return false;
    }
    return true;
}

bool SerialAllocation::ProgramAndLogSerialNo() {
    if (!Database.IsOpen()) {
        Report.UpdateStatusDisp(QStringLiteral("Error: No Serial DB file open."));
        return false;
    }
    if (!NextSerial) {
        Report.UpdateStatusDisp(
            QStringLiteral("Error: No next serial number. Set the next serial number by clicking it."));
        return false;
    }
    // A serial number beyond 16 bits would be written as another one.
    if (*NextSerial < kLowestSerial || *NextSerial > kHighestSerial) {
        Report.UpdateStatusDisp(QStringLiteral("Error: Next serial number must be 1 to 65535."));
        return false;
    }
    if (Target.RequestTargetID() != CommandOutcome::Succeeded)
        return false;
    if (Target.identity().InitByte == 90) {
        Report.UpdateStatusDisp(QStringLiteral("Aborted - Serial No. already programmed"));
        return false;
    }
    const IdBlock written = SetSerialData;
    const CommandOutcome write = WriteSerialNo();
    // The module is read again so that the record carries what it reports
    // after the write, and so that only a unit that holds the block is logged
    // (a write whose acknowledgement was lost may still have taken effect).
    if (Target.RequestTargetID() != CommandOutcome::Succeeded)
        return false;
    if (Target.identity().IDBlock() != written) {
        Report.UpdateStatusDisp(write == CommandOutcome::Succeeded ? kWriteTexts.refused
                                                                   : kWriteTexts.textFor(write));
        return false;
    }
    Report.UpdateStatusDisp(QStringLiteral("Writing the device data to the serial DB file"));
    if (!WriteSerialDBRecord())
        return false;
    PutNewSerialNo(*NextSerial + 1);
    Report.UpdateStatusDisp(QStringLiteral("OK"));
    return true;
}
