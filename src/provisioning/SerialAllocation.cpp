#include "SerialAllocation.h"

#include "CommsLink.h"
#include "GeneralUtilities.h"
#include "OperatorNumber.h"
#include "Reporter.h"

SerialAllocation::SerialAllocation(CommsLink& link, Reporter& reporter, QObject* parent)
    : QObject(parent), Link(link), Report(reporter) {
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
    PutNewSerialNo(NextSerial);
}

CommandOutcome SerialAllocation::WriteSerialNo() {
    static const OutcomeTexts texts{QStringLiteral("Write Serial Failed."), QStringLiteral("No response."),
                                    QStringLiteral("Write Serial OK.")};
    OutMsg message{};
    message[0] = Frame::kWriteIdBlock;
    for (size_t i = 0; i < SetSerialData.size(); ++i)
        message[i + 1] = SetSerialData[i];
    Report.UpdateStatusDisp(QStringLiteral("Writing serial number ..."));
    const CommandOutcome outcome = Link.Transact(message, 10, ReplyKind::Acknowledgement);
    Report.UpdateStatusDisp(texts.textFor(outcome));
    return outcome;
}
