#include "UnitFile.h"

#include "GeneralUtilities.h"

#include <QString>

std::optional<IdBlock> parseUnitFile(QByteArrayView bytes) {
    if (bytes.size() < kUnitFileBytes || bytes[kUnitFileBytes - 1] != ';')
        return std::nullopt;
    IdBlock block{};
    for (qsizetype i = 0; i < qsizetype(block.size()); ++i) {
        // Latin-1 maps every byte to one character, so a byte that is not a
        // hex digit stays one that HexStrtoByte rejects.
        const qint16 value = GeneralUtilities::HexStrtoByte(QString::fromLatin1(bytes.sliced(2 * i, 2)));
        if (value == GeneralUtilities::kBadHex)
            return std::nullopt;
        block[i] = value;
    }
    return block;
}
