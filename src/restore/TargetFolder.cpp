#include "restore/TargetFolder.h"

#include "base/NativePath.h"

#include <QList>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace {

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

} // namespace

QString SystemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool TargetFolder::open(const QString& path, bool create, QString& error)
{
    m_path = path;
    std::error_code made;
    if (create && !std::filesystem::create_directories(NativePath(path).toStdString(), made) && made) {
        error = QStringLiteral("%1 cannot be made: %2").arg(path, QString::fromLocal8Bit(made.message()));
        return false;
    }
    m_root = FileHandle(::open(NativePath(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_root.isOpen())
        error = QStringLiteral("%1 cannot be opened: %2").arg(path, SystemText(errno));
    return m_root.isOpen();
}

FileHandle TargetFolder::folder(const QByteArray& relativePath, bool create, QString& error)
{
    FileHandle current(::fcntl(m_root.get(), F_DUPFD_CLOEXEC, 0));
    QByteArray reached;
    for (const QByteArray& part : relativePath.split('/')) {
        if (part.isEmpty())
            continue;
        reached += reached.isEmpty() ? part : '/' + part;
        FileHandle next(::openat(current.get(), part.constData(), FolderFlags));
        if (!next.isOpen() && errno == ENOENT && create) {
            if (::mkdirat(current.get(), part.constData(), 0777) == 0) {
                std::lock_guard lock(m_mutex);
                m_made.insert(reached);
            }
            next = FileHandle(::openat(current.get(), part.constData(), FolderFlags));
        }
        if (!next.isOpen()) {
            const int cause = errno;
            if (cause == ENOENT && !create)
                return {};
            error = cause == ENOTDIR || cause == ELOOP
                ? QStringLiteral("%1 is in the way: it is not a folder").arg(PathFromNative(reached))
                : QStringLiteral("%1: %2").arg(PathFromNative(reached), SystemText(cause));
            return {};
        }
        current = std::move(next);
    }
    return current;
}

std::set<QByteArray> TargetFolder::madeFolders() const
{
    std::lock_guard lock(m_mutex);
    return m_made;
}
