#include "zip/ArchiveTemporary.h"

#include "base/NativePath.h"
#include "zip/ReplaceFile.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr QLatin1StringView Prefix(".tessaly-tmp-");
constexpr qsizetype RandomLength = 12;
// Temporaries named after their archive: its name with this suffix and six random characters
// after it. Backup folders may still hold such files; they are ours, so they are swept too.
constexpr QLatin1StringView ArchiveNamedSuffix(".tessaly-tmp");

bool isNameCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
}
bool isArchiveNamedCharacter(QChar c)
{
    return isNameCharacter(c) || (c >= u'A' && c <= u'Z');
}

QString randomName()
{
    static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString name = Prefix;
    for (qsizetype i = 0; i < RandomLength; ++i)
        name += QLatin1Char(alphabet[QRandomGenerator::global()->bounded(int(sizeof(alphabet) - 1))]);
    return name;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

bool IsArchiveTemporaryName(const QString& fileName)
{
    if (fileName.startsWith(Prefix)) {
        const QStringView rest = QStringView(fileName).mid(Prefix.size());
        return rest.size() == RandomLength && std::all_of(rest.begin(), rest.end(), isNameCharacter);
    }
    if (fileName.size() > ArchiveNamedSuffix.size() && fileName.endsWith(ArchiveNamedSuffix))
        return true;
    const qsizetype suffixAt = fileName.size() - ArchiveNamedSuffix.size() - 7;
    if (suffixAt <= 0
        || QStringView(fileName).mid(suffixAt, ArchiveNamedSuffix.size() + 1) != QString(ArchiveNamedSuffix + u'.'))
        return false;
    const QStringView random = QStringView(fileName).right(6);
    return std::all_of(random.begin(), random.end(), isArchiveNamedCharacter);
}

void SweepStaleTemporaries(const QString& folder)
{
    DIR* dir = ::opendir(NativePath(folder).constData());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsArchiveTemporaryName(PathFromNative(QByteArray(entry->d_name))))
            continue;
        const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened;
        struct stat named;
        // Held by a live writer when the lock is refused; the name is checked to still be the
        // file that was locked, so nothing else is ever removed.
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(opened, named))
            ::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

std::unique_ptr<ArchiveTemporary> ArchiveTemporary::create(const QString& folder, QString& error)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString path = folder + u'/' + randomName();
        const QByteArray native = NativePath(path);
        const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            error = systemText(errno);
            return nullptr;
        }
        // A sweep in another process may take the name between the create and the lock: then
        // the lock is refused or the name no longer leads to this file, and another name is tried.
        struct stat opened;
        struct stat named;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 && ::stat(native.constData(), &named) == 0
            && sameFile(opened, named))
            return std::unique_ptr<ArchiveTemporary>(new ArchiveTemporary(path, fd));
        ::close(fd);
    }
    error = QStringLiteral("no free temporary name");
    return nullptr;
}

ArchiveTemporary::ArchiveTemporary(QString path, int fd)
    : m_path(std::move(path))
    , m_fd(fd)
{ }

ArchiveTemporary::~ArchiveTemporary()
{
    // Removed before the lock goes, so no sweep ever sees it unlocked.
    remove();
    ::close(m_fd);
}

void ArchiveTemporary::remove()
{
    if (m_gone)
        return;
    ::unlink(NativePath(m_path).constData());
    m_gone = true;
}

bool ArchiveTemporary::replace(const QString& target, QString& error)
{
    struct stat old;
    if (::stat(NativePath(target).constData(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(m_fd, old.st_mode & 07777);
    if (!ReplaceFileAtomically(m_path, target, error))
        return false;
    m_gone = true;
    SyncFolderOf(target);
    return true;
}
