#include "zip/KnownArchives.h"

#include "base/FileStatus.h"
#include "base/NativePath.h"
#include "base/SettingsStore.h"
#include "zip/ZipReuse.h"

#include <QByteArrayList>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype Kept = 512;

QByteArray listPath()
{
    return NativePath(QFileInfo(SettingsStore::StoreFilePath()).absolutePath() + QStringLiteral("/Tessaly.archives"));
}

// One line: device, inode, size, modification and change time in nanoseconds.
QByteArray lineOf(const struct stat& st)
{
    return QByteArray::number(static_cast<quint64>(st.st_dev)) + ' '
        + QByteArray::number(static_cast<quint64>(st.st_ino)) + ' '
        + QByteArray::number(static_cast<qint64>(st.st_size)) + ' ' + QByteArray::number(NanosecondsOf(st.st_mtim))
        + ' ' + QByteArray::number(NanosecondsOf(st.st_ctim));
}

// The list's lines when only this user can have written it.
QByteArrayList readList()
{
    const int fd = ::open(listPath().constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    QFile file;
    struct stat st;
    const bool private_
        = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
    QByteArrayList lines;
    if (private_ && file.open(fd, QIODevice::ReadOnly))
        lines = file.readAll().split('\n');
    ::close(fd);
    lines.removeAll(QByteArray());
    return lines;
}

std::mutex& listMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

namespace KnownArchives {

void Remember(const QString& path)
{
    const int fd = ::open(NativePath(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st;
    ChangeTimeTrust trust;
    const bool known = fd >= 0 && ::fstat(fd, &st) == 0 && trust.trusted(fd, static_cast<std::uint64_t>(st.st_dev));
    if (fd >= 0)
        ::close(fd);
    if (!known)
        return;
    std::lock_guard lock(listMutex());
    QByteArrayList lines = readList();
    lines.append(lineOf(st));
    if (lines.size() > Kept)
        lines = lines.mid(lines.size() - Kept);
    // Put in place in one step; another process's list written at the same moment may win.
    const QByteArray target = listPath();
    const QByteArray temporary = target + ".new-" + QByteArray::number(QRandomGenerator::system()->generate64(), 36);
    const int out = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0)
        return;
    const QByteArray text = lines.join('\n') + '\n';
    const bool written = ::write(out, text.constData(), static_cast<std::size_t>(text.size())) == text.size();
    ::close(out);
    if (!written || ::rename(temporary.constData(), target.constData()) != 0)
        ::unlink(temporary.constData());
}

bool Unchanged(int fd)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    std::lock_guard lock(listMutex());
    return readList().contains(lineOf(st));
}

} // namespace KnownArchives
