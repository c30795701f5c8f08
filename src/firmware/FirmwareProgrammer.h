#pragma once

#include "CommandExchange.h"
#include "FirmwareImage.h"

#include <QObject>
#include <QString>

class CommsLink;
class Maintenance;
class Reporter;
class TargetSession;

// The firmware file held for programming, and the programming sequence: check
// the file against the module, erase it, write and acknowledge every page.
class FirmwareProgrammer : public QObject {
    Q_OBJECT
public:
    FirmwareProgrammer(CommsLink& link, TargetSession& target, Maintenance& maintenance, Reporter& reporter,
                       QObject* parent = nullptr);

    // Loads a .fw file. A file with a bad header or record becomes current
    // but cannot be programmed; one that could not be opened or read to its
    // end changes nothing: the previous image stays whole and current. Both
    // end as a file error. A file that ends in a partial record loads its
    // whole records and says how many bytes it left out.
    Outcome ReadFirmwareFile(const QString& path);

    const FirmwareImage& image() const { return Image; }
    const QString& FirmwareFilename() const { return Filename; }
    bool GetFWFileLoaded() const { return Image.FWFileLoaded; }

    // The file's system ID equals the module's, and the module's sub-system
    // relates to the file's as the high nibble of the target mask asks.
    bool FirmwareMatchesTarget() const;

    // The sequence as a step, with its texts and progress.
    // `ignoreTargetCheck` (the Ctrl key in the windows) programs a file that
    // is not for this module. Succeeded after "Program complete.".
    Outcome ProgramFW(bool ignoreTargetCheck);
    // Pages acknowledged in the last run.
    int pagesWritten() const { return PagesWritten; }

private:
    Outcome ProgramPage(int page);
    Outcome ProgFWPage(const FirmwarePage& payload);

    CommsLink& Link;
    TargetSession& Target;
    Maintenance& Maint;
    Reporter& Report;
    FirmwareImage Image;
    QString Filename;
    int PagesWritten = 0;
};
