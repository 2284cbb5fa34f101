#include "base/FileSystemIdentity.h"

#include "base/NativePath.h"

#ifdef Q_OS_WIN
#include <QStorageInfo>
#else
#include <QDir>
#include <cstring>
#include <sys/stat.h>
#include <sys/statfs.h>
#endif

#ifdef Q_OS_WIN

QString FileSystemIdentity(const QString& folder)
{
    const QStorageInfo volume(folder);
    return volume.isValid() ? QString::fromLatin1(volume.device()) : QString();
}

#else

namespace {

// The UUID of the block device holding the file system, from the names the system keeps for its
// disks: it stays the same when the disk comes back under another device number.
QString uuidOfDevice(dev_t device)
{
    const QString byUuid = QStringLiteral("/dev/disk/by-uuid");
    for (const QString& name : QDir(byUuid).entryList(QDir::System | QDir::NoDotAndDotDot)) {
        struct stat node;
        if (::stat(NativePath(byUuid + u'/' + name).constData(), &node) == 0 && S_ISBLK(node.st_mode)
            && node.st_rdev == device)
            return QStringLiteral("uuid:") + name;
    }
    return {};
}

} // namespace

QString FileSystemIdentity(const QString& folder)
{
    const QByteArray path = NativePath(folder);
    struct stat st;
    struct statfs fs;
    if (::stat(path.constData(), &st) != 0 || ::statfs(path.constData(), &fs) != 0)
        return {};
    const QString uuid = uuidOfDevice(st.st_dev);
    if (!uuid.isEmpty())
        return uuid;
    int fsid[2];
    static_assert(sizeof fsid == sizeof fs.f_fsid);
    std::memcpy(fsid, &fs.f_fsid, sizeof fsid);
    // Most file systems derive the id from their UUID; the few that give none are told by device.
    if (fsid[0] != 0 || fsid[1] != 0)
        return QStringLiteral("fs:%1:%2:%3")
            .arg(static_cast<qulonglong>(fs.f_type), 0, 16)
            .arg(static_cast<uint>(fsid[0]), 8, 16, QLatin1Char('0'))
            .arg(static_cast<uint>(fsid[1]), 8, 16, QLatin1Char('0'));
    return QStringLiteral("dev:%1").arg(static_cast<qulonglong>(st.st_dev));
}

#endif
