#include "ModuleModel.h"

#include "PageRecord.h"

#include <QRandomGenerator>

#include <algorithm>

namespace {
constexpr quint8 kIdentityRequest = 16;
constexpr quint8 kErase = 17;
constexpr quint8 kProgramPage = 18;
constexpr quint8 kWriteIdBlock = 19;
constexpr quint8 kEncryptedPageRequest = 20;
constexpr quint8 kRestoreIdBlock = 23;
constexpr quint8 kWipe = 26;
constexpr quint8 kRestart = 27;

constexpr quint8 kIdentityReply = 32;
constexpr quint8 kEncryptedPageReply = 33;

constexpr quint8 kErrorInvalidCommand = 1;
constexpr quint8 kErrorSystemMismatch = 3;
constexpr quint8 kErrorSubsystemMismatch = 4;
constexpr quint8 kErrorSerialMismatch = 5;
constexpr quint8 kErrorRecordCheck = 6;
constexpr quint8 kErrorIdLocked = 7;
constexpr quint8 kErrorInvalidParameter = 9;

constexpr char kErased = '\xFF';

// One nibble of a record's mask: how the module's own value must stand to the
// record's. 0 takes any module, 1 modules at or above it, 2 at or below it,
// 0xF only an equal one; other rules take none.
bool ruleAllows(int rule, int own, int wanted) {
    switch (rule) {
    case 0x0:
        return true;
    case 0x1:
        return own >= wanted;
    case 0x2:
        return own <= wanted;
    case 0xF:
        return own == wanted;
    default:
        return false;
    }
}
} // namespace

ModuleModel::ModuleModel() : Memory(kMemorySize, kErased) {}

bool ModuleModel::setMemory(const QByteArray& image) {
    if (image.size() > kMemorySize)
        return false;
    Memory = image + QByteArray(kMemorySize - image.size(), kErased);
    ++Revision;
    return true;
}

ModuleReply ModuleModel::answer(quint8 code, const QByteArray& data) {
    switch (code) {
    case kIdentityRequest:
        return ModuleReply::withData(kIdentityReply, identity.replyData());
    case kErase:
        eraseMemory();
        return ModuleReply::accepted();
    case kProgramPage:
        return programPage(data);
    case kWriteIdBlock:
        return writeIdBlock(data);
    case kEncryptedPageRequest:
        return encryptedPage(data);
    case kRestoreIdBlock:
        identity.setIdBlock(backupIdBlock());
        return ModuleReply::accepted();
    case kWipe:
        return wipe();
    case kRestart:
        return ModuleReply::accepted();
    default:
        return refuse(kErrorInvalidCommand);
    }
}

ModuleReply ModuleModel::refuse(quint8 error) {
    identity.lastError = error;
    return ModuleReply::refused();
}

void ModuleModel::eraseMemory() {
    Memory.fill(kErased);
    ++Revision;
}

ModuleReply ModuleModel::writeIdBlock(const QByteArray& data) {
    if (data.size() != static_cast<qsizetype>(ModuleIdBlock().size()))
        return refuse(kErrorInvalidParameter);
    if (IdLocked)
        return refuse(kErrorIdLocked);
    ModuleIdBlock block{};
    std::copy(data.cbegin(), data.cend(), block.begin());
    identity.setIdBlock(block);
    Backup = block;
    return ModuleReply::accepted();
}

// A wipe leaves the module as it left production before its serial was
// written, but keeps the backup copy, so a restore brings the serial back.
ModuleReply ModuleModel::wipe() {
    Backup = backupIdBlock();
    ModuleIdBlock erased{};
    erased.fill(0xFF);
    identity.setIdBlock(erased);
    eraseMemory();
    return ModuleReply::accepted();
}

ModuleReply ModuleModel::encryptedPage(const QByteArray& request) {
    if (request.size() < 7)
        return refuse(kErrorInvalidParameter);
    const auto byte = [&request](int i) { return static_cast<quint8>(request[i]); };
    const PageRecordHeader header{byte(0), byte(1), static_cast<quint16>(byte(3) << 8 | byte(2)),
                                  byte(4), byte(5), byte(6)};
    const QByteArray page = Memory.mid(static_cast<qsizetype>(header.page) * kPageSize, kPageSize);
    return ModuleReply::withData(kEncryptedPageReply,
                                 PageRecord::seal(header, page, PageRecord::familyKey(identity.system)));
}

ModuleReply ModuleModel::programPage(const QByteArray& record) {
    const auto opened = PageRecord::open(record, PageRecord::familyKey(identity.system));
    if (!opened)
        return refuse(kErrorRecordCheck);
    const PageRecordHeader& header = opened->header;
    if (header.system != identity.system)
        return refuse(kErrorSystemMismatch);
    if (!ruleAllows(header.mask >> 4, identity.subsystem, header.subsystem))
        return refuse(kErrorSubsystemMismatch);
    if (!ruleAllows(header.mask & 0x0F, identity.serial, header.serial))
        return refuse(kErrorSerialMismatch);
    Memory.replace(static_cast<qsizetype>(header.page) * kPageSize, kPageSize, opened->page);
    ++Revision;
    return ModuleReply::accepted();
}

QByteArray randomMemory(quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray memory(ModuleModel::kMemorySize, '\0');
    for (char& c : memory)
        c = static_cast<char>(random.bounded(256));
    return memory;
}
