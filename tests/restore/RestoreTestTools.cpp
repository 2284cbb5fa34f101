#include "restore/RestoreTestTools.h"

#include "backup/BackupRun.h"
#include "backup/FolderArchives.h"
#include "backup/TestClock.h"
#include "base/StatusLine.h"

#include <QCryptographicHash>
#include <QFile>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace RestoreTestTools {

void put(const QByteArray& path, const QByteArray& data, unsigned mode, qint64 mtime, long nanoseconds)
{
    std::filesystem::create_directories(std::filesystem::path(path.toStdString()).parent_path());
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || ::write(fd, data.constData(), static_cast<size_t>(data.size())) != data.size())
        qFatal("cannot write %s", path.constData());
    ::fchmod(fd, mode);
    const timespec times[2] = { { mtime, nanoseconds }, { mtime, nanoseconds } };
    ::futimens(fd, times);
    ::close(fd);
}

QMap<QByteArray, QString> describe(const QByteArray& folder)
{
    QMap<QByteArray, QString> tree;
    const std::filesystem::path root(folder.toStdString());
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        struct stat st;
        ::lstat(item.path().c_str(), &st);
        const bool isDir = S_ISDIR(st.st_mode);
        QString hash;
        if (S_ISREG(st.st_mode)) {
            QFile file;
            const int fd = ::open(item.path().c_str(), O_RDONLY);
            file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
            hash = QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex());
        }
        const qint64 seconds = isDir ? st.st_mtim.tv_sec / 2 * 2 : st.st_mtim.tv_sec;
        tree.insert(QByteArray::fromStdString(item.path().lexically_relative(root).native()),
                    QStringLiteral("%1 %2 %3 %4.%5 %6")
                        .arg(isDir                     ? u'd'
                                 : S_ISLNK(st.st_mode) ? u'l'
                                                       : u'f')
                        .arg(st.st_mode & 07777, 0, 8)
                        .arg(isDir ? 0 : st.st_size)
                        .arg(seconds)
                        .arg(isDir ? 0 : st.st_mtim.tv_nsec)
                        .arg(hash));
    }
    return tree;
}

QString backUp(const BackupChoices& choices, const QDateTime& moment)
{
    struct Status final : StatusLine
    {
        QString line;
        QString text() const override { return line; }
        void setText(const QString& text) override { line = text; }
    } status;
    const TestClock clock(moment);
    RunBackup(choices, status, true);
    const QStringList archives = ArchivesOfListedFolder(choices, 1);
    return archives.isEmpty() ? QString() : archives.first();
}

} // namespace RestoreTestTools
