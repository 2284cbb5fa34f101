#include "zip/RecordKey.h"

#include "base/NativePath.h"
#include "base/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype KeySize = 32;

// The key file's bytes when it is a key only this user can read or change.
QByteArray readKey(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray key(KeySize + 1, Qt::Uninitialized);
    struct stat st;
    const bool private_
        = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
    const ssize_t got = private_ ? ::read(fd, key.data(), static_cast<std::size_t>(key.size())) : -1;
    ::close(fd);
    if (got != KeySize)
        return {};
    key.truncate(KeySize);
    return key;
}

// A new key, put in place in one step so a reader never sees half of it; one made at the same
// moment by another process wins when it was first.
bool makeKey(const QByteArray& path, bool replace)
{
    QByteArray key(KeySize, Qt::Uninitialized);
    QRandomGenerator::system()->generate(key.begin(), key.end());
    const QByteArray temporary = path + ".new-" + QByteArray::number(QRandomGenerator::system()->generate64(), 36);
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, key.constData(), KeySize) == KeySize && ::fsync(fd) == 0;
    ::close(fd);
    const bool placed = written
        && (replace ? ::rename(temporary.constData(), path.constData()) == 0
                    : ::link(temporary.constData(), path.constData()) == 0);
    ::unlink(temporary.constData());
    return placed;
}

} // namespace

QString RecordKeyPath()
{
    return QFileInfo(SettingsStore::StoreFilePath()).absolutePath() + QStringLiteral("/Tessaly.key");
}

QByteArray LoadRecordKey()
{
    const QString path = RecordKeyPath();
    const QByteArray native = NativePath(path);
    QByteArray key = readKey(native);
    if (!key.isEmpty())
        return key;
    QDir().mkpath(QFileInfo(path).absolutePath());
    // A key that others could have read or changed is replaced: records signed with it are no
    // longer trusted.
    struct stat st;
    const bool exists = ::lstat(native.constData(), &st) == 0;
    makeKey(native, exists);
    return readKey(native);
}
