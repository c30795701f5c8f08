#pragma once

#include "ModuleIdentity.h"
#include "ModuleReply.h"

#include <QByteArray>

#include <optional>

// 64 KiB of pseudo-random bytes, the same for the same seed: a master
// module's memory worth capturing.
QByteArray randomMemory(quint32 seed);

// A module's bootloader without a line: program memory, the ID block with its
// backup copy and the last error, and what each command does to them. The
// ID block lives in the identity's fields, so the identity reply reports it.
class ModuleModel {
public:
    static constexpr int kPageSize = 256;
    static constexpr int kPageCount = 256;
    static constexpr int kMemorySize = kPageSize * kPageCount;

    ModuleModel();

    ModuleIdentity identity;

    // Program memory, kMemorySize bytes; erased bytes read 0xFF.
    const QByteArray& memory() const { return Memory; }
    // Loads an image from address 0 and erases the rest; false (and nothing
    // changed) when the image is larger than the memory.
    bool setMemory(const QByteArray& image);
    // Goes up with every change of memory, so a watcher can tell whether a
    // command wrote to it.
    quint64 memoryRevision() const { return Revision; }

    ModuleIdBlock idBlock() const { return identity.idBlock(); }
    // Until a command writes the backup, it is the ID block the module was
    // given (its production identity), so a fresh module can restore its own.
    ModuleIdBlock backupIdBlock() const { return Backup.value_or(idBlock()); }
    void setBackupIdBlock(const ModuleIdBlock& block) { Backup = block; }
    bool idLocked() const { return IdLocked; }
    void setIdLocked(bool locked) { IdLocked = locked; }

    // Carries out one command that arrived with a good checksum (code and
    // data bytes) and says what the module answers. A refusal leaves the
    // reason in identity.lastError; success leaves the last error as it was.
    ModuleReply answer(quint8 code, const QByteArray& data);

private:
    ModuleReply refuse(quint8 error);
    void eraseMemory();
    ModuleReply writeIdBlock(const QByteArray& data);
    ModuleReply wipe();
    ModuleReply encryptedPage(const QByteArray& request);
    ModuleReply programPage(const QByteArray& record);

    QByteArray Memory;
    quint64 Revision = 0;
    std::optional<ModuleIdBlock> Backup;
    bool IdLocked = false;
};
