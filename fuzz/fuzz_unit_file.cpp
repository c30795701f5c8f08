// Parses the input as a downloaded unit file: it is one exactly when its
// first 16 bytes are upper-case hex digits and its 17th is ";", and then the
// ID block is what those digits say.

#include "FuzzCheck.h"

#include "UnitFile.h"

#include <cstddef>
#include <cstdint>

namespace {

int HexDigit(uint8_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::array<qint16, 8>> expected(const uint8_t* data, size_t size) {
    if (size < size_t(kUnitFileBytes) || data[kUnitFileBytes - 1] != ';')
        return std::nullopt;
    std::array<qint16, 8> block{};
    for (size_t i = 0; i < block.size(); ++i) {
        const int high = HexDigit(data[2 * i]);
        const int low = HexDigit(data[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        block[i] = static_cast<qint16>(high * 16 + low);
    }
    return block;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<std::array<qint16, 8>> block =
        parseUnitFile(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    FUZZ_CHECK(block == expected(data, size));
    return 0;
}
