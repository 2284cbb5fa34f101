#include "restore/PendingFile.h"

#include "base/NativePath.h"
#include "restore/RestorePath.h"
#include "restore/TargetFolder.h"

#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr int KeepAttempts = 100;

QByteArray temporaryName()
{
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name(".tessaly-restore-");
    for (int i = 0; i < 10; ++i)
        name += letters[QRandomGenerator::global()->bounded(static_cast<int>(sizeof(letters) - 1))];
    return name;
}

// Renames within the folder unless the new name is taken (EEXIST then). File systems that cannot
// refuse in the rename itself are given a second name and lose the first, or, where they have no
// second names either, are asked first.
int renameNoReplace(int folder, const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(folder, from.constData(), folder, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return errno;
    if (::linkat(folder, from.constData(), folder, to.constData(), 0) == 0)
        return ::unlinkat(folder, from.constData(), 0) == 0 ? 0 : errno;
    if (errno == EEXIST)
        return EEXIST;
    struct stat found;
    if (::fstatat(folder, to.constData(), &found, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return ::renameat(folder, from.constData(), folder, to.constData()) == 0 ? 0 : errno;
}

} // namespace

PendingFile::PendingFile(int folderFd, QString& error)
    : m_folder(folderFd)
{
    for (int attempt = 0; attempt < 10 && !m_file.isOpen(); ++attempt) {
        m_name = temporaryName();
        m_file = FileHandle(
            ::openat(folderFd, m_name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!m_file.isOpen() && errno != EEXIST)
            break;
    }
    if (!m_file.isOpen())
        error = QStringLiteral("a file cannot be made there: %1").arg(SystemText(errno));
}

PendingFile::~PendingFile()
{
    if (m_file.isOpen() && !m_placed)
        ::unlinkat(m_folder, m_name.constData(), 0);
}

bool PendingFile::takeName(const QByteArray& name, bool replace, QString& error)
{
    const int result = replace ? (::renameat(m_folder, m_name.constData(), m_folder, name.constData()) == 0 ? 0 : errno)
                               : renameNoReplace(m_folder, m_name, name);
    m_placed = result == 0;
    if (result != 0 && result != EEXIST)
        error = SystemText(result);
    return m_placed;
}

std::optional<QByteArray> PendingFile::place(const QByteArray& name, ExistingFiles existing, const QDateTime& moment,
                                             QString& error)
{
    struct stat found;
    // Whatever appears under a free name meanwhile is never overwritten unasked: it is looked at again.
    while (::fstatat(m_folder, name.constData(), &found, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) {
            error = SystemText(errno);
            return std::nullopt;
        }
        if (takeName(name, false, error))
            return QByteArray();
        if (!error.isEmpty())
            return std::nullopt;
    }
    if (S_ISDIR(found.st_mode)) {
        error = QStringLiteral("a folder of that name is in the way");
        return std::nullopt;
    }
    QByteArray keptAs;
    if (existing == ExistingFiles::Keep && !keepExisting(name, moment, keptAs, error))
        return std::nullopt;
    // The old file is given up for good: the new one must be on the disk before it takes its name.
    if (existing == ExistingFiles::Replace && ::fdatasync(m_file.get()) != 0) {
        error = SystemText(errno);
        return std::nullopt;
    }
    if (!takeName(name, true, error))
        return std::nullopt;
    return keptAs;
}

// A second name for the existing file, so its real name is never missing; where the file system
// has no such names, the file is renamed instead.
bool PendingFile::keepExisting(const QByteArray& name, const QDateTime& moment, QByteArray& keptAs, QString& error)
{
    for (int attempt = 1; attempt <= KeepAttempts; ++attempt) {
        keptAs = KeptName(name, moment, attempt);
        if (::linkat(m_folder, name.constData(), m_folder, keptAs.constData(), 0) == 0)
            return true;
        if (errno == EEXIST)
            continue;
        const int renamed = renameNoReplace(m_folder, name, keptAs);
        if (renamed == 0)
            return true;
        if (renamed != EEXIST) {
            error = QStringLiteral("the existing file cannot be kept as %1: %2")
                        .arg(PathFromNative(keptAs), SystemText(renamed));
            return false;
        }
    }
    error = QStringLiteral("the existing file cannot be kept: too many earlier ones");
    return false;
}
