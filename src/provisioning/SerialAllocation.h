#pragma once

#include "CommandExchange.h"

#include <QObject>

#include <array>

class CommsLink;
class Reporter;

// The ID block to be written into the next module and the next serial number
// to give out, with the write-serial step (command 19).
class SerialAllocation : public QObject {
    Q_OBJECT
public:
    using IdBlock = std::array<qint16, 8>; // Init, Sys, Sub, SerL, SerH, #1, #2, #3

    static constexpr int kLowestSerial = 1;
    static constexpr int kHighestSerial = 65535;

    SerialAllocation(CommsLink& link, Reporter& reporter, QObject* parent = nullptr);

    const IdBlock& setSerialData() const { return SetSerialData; }
    qint32 nextSerial() const { return NextSerial; }

    // NextSerial = NewSerial, and its low and high bytes into SerL and SerH.
    void PutNewSerialNo(qint32 NewSerial);
    // Replaces the whole ID block (a loaded database, a recovered unit file).
    void PutSerialData(const IdBlock& block);
    // The operator's entries: a value outside the range leaves the field as
    // it was. Editing SerL or SerH does not change NextSerial; a new serial
    // number is taken when it lies in 1..65535, and SerL and SerH follow it
    // either way.
    void EnterSerialByte(int index, double value);
    void EnterNextSerial(double value);

    // The step: "Writing serial number ...", command 19 with the ID block,
    // then "Write Serial Failed.", "No response." or "Write Serial OK.".
    CommandOutcome WriteSerialNo();

signals:
    void changed();

private:
    CommsLink& Link;
    Reporter& Report;
    IdBlock SetSerialData{90, 1, 1, 0, 0, 0, 0, 0};
    qint32 NextSerial = 1;
};
