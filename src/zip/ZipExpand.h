#pragma once

#include "zip/FileEvidence.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

struct ZipJob;

// One entry of the archive to be: a regular file or a folder found by expanding the names.
struct ZipItem
{
    QString path; // where it is on disk
    QByteArray name; // entry name: the name's bytes as on disk (see NativePath.h), never absolute,
                     // no ".." part with "/" or "\" as separator (see EntryName.h); folders end in "/"
    bool isDir = false;
    qint64 size = 0;
    qint64 mtime = 0; // seconds since the epoch
    quint32 mode = 0; // Unix permission bits and type
    bool isLink = false; // the walk reached it through a symbolic link of its own name
    FileEvidence evidence; // as the walk saw it
    QString unreadable; // a file that is there but cannot be read now: the system's words for why
};

struct ZipExpansion
{
    std::vector<ZipItem> items; // in the order the names give, each entry name once
    QStringList warnings; // one line each, without line end
    // Lines to print that leave the archive complete: a name made safe, a FIFO, socket or device
    // left out (they are not files a backup can hold).
    QStringList notes;
    bool cancelled = false;
};

// Folder that relative names are resolved against: "\" (the default) and "/" stand for the root
// of the file system, an empty text for the current folder.
QString ResolveRootDirectory(const QString& root);

// Turns the job's names and patterns into the archive's entries. "dir/*.*" means every name in
// dir; matched sub-folders become folder entries and, with recurse on, bring their whole tree.
// Hidden names are left out; FIFOs, sockets and devices are never read; the
// archive being written is never part of itself. A file that is there but cannot be read is an
// item all the same (see ZipItem::unreadable): an earlier archive may still hold it. Names keep their bytes, whatever
// they are.
ZipExpansion ExpandNames(const ZipJob& job, const std::function<bool()>& cancelled);

// True when the wildcard pattern (with "*" and "?") matches the name; "x.*" also matches "x".
bool WildcardMatches(const QString& pattern, const QString& name);

// The stored form of a path: separators "/", no drive, no leading "/", no "." or ".." parts.
QString StoredName(const QString& path);
