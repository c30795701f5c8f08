// Parses the input as a downloaded unit file: it is one exactly when its
// first 16 bytes are upper-case hex digits and its 17th is ";", and then the
// ID block is what those digits say.

#include "Models.h"

#include "UnitFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

// The ID block as 16 hex digits, then ";"; whatever follows is ignored.
constexpr size_t kShortestFile = 17;
constexpr size_t kTerminatorAt = 16;

std::optional<std::array<qint16, 8>> expected(const uint8_t* data, size_t size) {
    if (size < kShortestFile || data[kTerminatorAt] != ';')
        return std::nullopt;
    std::array<qint16, 8> block{};
    for (size_t i = 0; i < block.size(); ++i) {
        const int value = Model::hexPair(data + 2 * i);
        if (value < 0)
            return std::nullopt;
        block[i] = static_cast<qint16>(value);
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
