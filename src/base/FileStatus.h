#pragma once

#include <QString>
#include <ctime>
#include <optional>
#include <tuple>

// What makes a file or folder the same one, whatever path leads to it: device and inode where the
// system has them, otherwise the case-folded canonical path.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    QString canonical;

    friend bool operator==(const FileIdentity& a, const FileIdentity& b)
    {
        return a.device == b.device && a.inode == b.inode && a.canonical == b.canonical;
    }
    friend bool operator<(const FileIdentity& a, const FileIdentity& b)
    {
        return std::tie(a.device, a.inode, a.canonical) < std::tie(b.device, b.inode, b.canonical);
    }
};

// What the system says about a path, with links followed.
struct FileStatus
{
    bool isLink = false; // the path itself is a link; the rest describes what it leads to
    bool isDir = false;
    bool isFile = false; // a regular file
    qint64 size = 0;
    qint64 mtime = 0; // seconds since the epoch
    qint64 mtimeNs = 0; // the same, in nanoseconds
    qint64 ctimeNs = 0; // the last change of contents or attributes, nanoseconds since the epoch
    quint32 mode = 0; // Unix type and permission bits
    FileIdentity identity;
};

// Nanoseconds since the epoch. A time before 1677 or after 2262, which any program may give a file,
// is held at the end of the range it lies beyond.
qint64 NanosecondsOf(const timespec& time);

// The status of what the path names; none, with the system's error number in *error, when it
// cannot be found.
std::optional<FileStatus> StatusOf(const QString& path, int* error = nullptr);
#ifdef Q_OS_UNIX
// The same for a name in the folder open on folderFd (AT_FDCWD: a path), without building its path.
std::optional<FileStatus> StatusAt(int folderFd, const char* name, int* error = nullptr);
#endif
// The identity of what the path names, links followed; none when nothing is there.
std::optional<FileIdentity> IdentityOf(const QString& path);
// The absolute path with every link resolved and no "." or ".." part; empty when nothing is there.
QString CanonicalPath(const QString& path);
