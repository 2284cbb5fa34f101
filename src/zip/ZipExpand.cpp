#include "zip/ZipExpand.h"

#include "base/FileStatus.h"
#include "base/FolderListing.h"
#include "base/FolderTree.h"
#include "base/NativePath.h"
#include "zip/ArchiveSummary.h"
#include "zip/ArchiveTemporary.h"
#include "zip/EntryName.h"
#include "zip/ZipJob.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

enum class Kind
{
    Missing,
    File,
    Dir,
    Other
};

struct PathInfo
{
    Kind kind = Kind::Missing;
    FileStatus status;
    QString error; // why it is missing or unreadable
};

// Why the file cannot be read; empty when it can.
QString whyUnreadable(const QString& path)
{
#ifdef Q_OS_UNIX
    if (::faccessat(AT_FDCWD, NativePath(path).constData(), R_OK, AT_EACCESS) == 0)
        return {};
    return QString::fromLocal8Bit(std::strerror(errno));
#else
    return QFileInfo(path).isReadable() ? QString() : QString::fromLocal8Bit(std::strerror(EACCES));
#endif
}

PathInfo statPath(const QString& path)
{
    PathInfo info;
    int error = 0;
    const std::optional<FileStatus> status = StatusOf(path, &error);
    if (!status) {
        info.error = QString::fromLocal8Bit(std::strerror(error));
        return info;
    }
    info.status = *status;
    info.kind = status->isFile ? Kind::File : status->isDir ? Kind::Dir : Kind::Other;
    if (info.kind == Kind::File)
        info.error = whyUnreadable(path);
    return info;
}

QString childOf(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? QString(folder + name) : QString(folder + u'/' + name);
}

// The folder part of an absolute path.
QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString lastPart(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

bool hasWildcard(const QString& text)
{
    return text.contains(u'*') || text.contains(u'?');
}

bool matchHere(const QChar* p, const QChar* pEnd, const QChar* n, const QChar* nEnd)
{
    // Iterative glob with one backtrack point per star: linear in practice.
    const QChar* starP = nullptr;
    const QChar* starN = nullptr;
    while (n != nEnd) {
        if (p != pEnd && (*p == u'?' || *p == *n)) {
            ++p;
            ++n;
        } else if (p != pEnd && *p == u'*') {
            starP = ++p;
            starN = n;
        } else if (starP) {
            p = starP;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p != pEnd && *p == u'*')
        ++p;
    return p == pEnd;
}

class Expander
{
public:
    Expander(const ZipJob& job, const std::function<bool()>& cancelled, ZipExpansion& out)
        : m_job(job)
        , m_cancelled(cancelled)
        , m_out(out)
        , m_root(ResolveRootDirectory(job.rootDirectory))
    {
        const QString archive = absolute(job.archivePath);
        m_archiveIdentity = IdentityOf(archive);
        for (const QString& name : job.names) {
            const QString path = absolute(name);
            if (hasWildcard(lastPart(path)))
                m_patternFolders.insert(folderOf(path));
        }
    }

    void run()
    {
        for (const QString& name : m_job.names) {
            if (m_cancelled()) {
                m_out.cancelled = true;
                return;
            }
            if (!name.isEmpty())
                expandName(name);
        }
    }

private:
    QString absolute(const QString& name) const
    {
        if (name.isEmpty())
            return name;
        if (QDir::isAbsolutePath(name))
            return QDir::cleanPath(name);
        return QDir::cleanPath(m_root + u'/' + name);
    }

    // The stored form of a name as given: absolute ones lose their leading "/", relative ones
    // stay relative to the root directory.
    QString storedBase(const QString& given) const { return StoredName(given); }

    // How a path came to be matched.
    enum class Origin
    {
        Named,
        Pattern,
        Walk
    };

    void expandName(const QString& given)
    {
        const QString path = absolute(given);
        const QString last = lastPart(path);
        if (!hasWildcard(last)) {
            const PathInfo info = statPath(path);
            if (info.kind == Kind::Missing) {
                m_out.warnings.append(QStringLiteral("name not matched: %1").arg(given));
                return;
            }
            addMatched(path, storedBase(given), info, Origin::Named);
            return;
        }
        // A pattern: the wildcard is in the last part; the folder part is a plain path.
        const QString folder = folderOf(path);
        const qsizetype givenSlash = std::max(given.lastIndexOf(u'/'), given.lastIndexOf(QDir::separator()));
        const QString storedFolder = givenSlash < 0 ? QString() : storedBase(given.left(givenSlash + 1));
        const PathInfo folderInfo = statPath(folder);
        if (folderInfo.kind != Kind::Dir) {
            m_out.warnings.append(QStringLiteral("name not matched: %1").arg(given));
            return;
        }
        if (m_job.recurse)
            m_tree.addRoot(folder);
        addChildren(folder, storedFolder, Origin::Pattern, last);
    }

    // The folder's entries whose names match the wildcard (every name when it is empty), hidden
    // names left out.
    void addChildren(const QString& folder, const QString& stored, Origin origin, const QString& wildcard = {})
    {
        const QStringList names = listFolder(folder);
        for (const QString& name : names) {
            if (m_cancelled())
                return;
            if (IsHiddenName(name))
                continue;
            if (!wildcard.isEmpty() && !WildcardMatches(wildcard, name))
                continue;
            const QString childPath = childOf(folder, name);
            const QString childStored = stored.isEmpty() ? name : QString(stored + u'/' + name);
            addMatched(childPath, childStored, statPath(childPath), origin);
        }
    }

    QStringList listFolder(const QString& folder)
    {
        QStringList names;
        int error = 0;
#ifdef Q_OS_UNIX
        // A folder that can be listed but not entered would leave its files out one by one.
        if (::faccessat(AT_FDCWD, NativePath(folder).constData(), R_OK | X_OK, AT_EACCESS) != 0)
            error = errno;
#endif
        if (error == 0 && ListFolder(folder, names, &error))
            return names;
        m_out.warnings.append(
            QStringLiteral("could not read folder: %1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(error))));
        return {};
    }

    // Whether a file found in the tree is the archive being written, a temporary of the engine or
    // any other archive of this program, wherever it lies: a backup folder inside a listed folder
    // must not put every earlier backup into the next. The archive being written is recognised by
    // identity, so also through a link; other archives by the note that ends them, looked for in
    // ".zip" files only, which keeps the walk fast.
    bool isOwnOutput(const QString& path, const PathInfo& info) const
    {
        if (info.kind != Kind::Missing && m_archiveIdentity && info.status.identity == *m_archiveIdentity)
            return true;
        const QString name = lastPart(path);
        return IsArchiveTemporaryName(name)
            || (info.kind == Kind::File && name.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive)
                && IsOwnArchive(path));
    }

    void addMatched(const QString& path, const QString& stored, const PathInfo& info, Origin origin)
    {
        if (isOwnOutput(path, info))
            return;
        switch (info.kind) {
        case Kind::Missing:
            m_out.warnings.append(QStringLiteral("could not open for reading: %1: %2").arg(path, info.error));
            return;
        case Kind::Other:
            m_out.notes.append(QStringLiteral("skipped, not a regular file: %1").arg(path));
            return;
        case Kind::File:
            addItem(path, stored, info, false);
            return;
        case Kind::Dir: {
            // Which folders are entered follows FolderTree. Without recursion the names list every
            // folder to store (a backup run passes one pattern per folder its walk found), so a
            // linked folder they do not list is stored where it really is, not here.
            bool enter = false;
            if (m_job.recurse)
                enter = origin == Origin::Named ? m_tree.addRoot(path) : m_tree.enter(path, info.status);
            if (origin != Origin::Named && info.status.isLink
                && !(m_job.recurse ? enter : m_patternFolders.contains(path)))
                return;
            if (!m_job.junkPaths)
                addItem(path, stored, info, true);
            if (enter)
                addChildren(path, stored, Origin::Walk);
            return;
        }
        }
    }

    void addItem(const QString& path, const QString& stored, const PathInfo& info, bool dir)
    {
        QString name = m_job.junkPaths ? stored.mid(stored.lastIndexOf(u'/') + 1) : stored;
        if (name.isEmpty())
            return; // the root folder itself has no name of its own
        const QString safe = SafeEntryName(name);
        if (lastPart(safe) != lastPart(name))
            m_out.notes.append(QStringLiteral("name changed to be safe: %1 is stored as %2").arg(path, safe));
        // The exact bytes of the name on disk.
        QByteArray bytes = NativePath(dir ? QString(safe + u'/') : safe);
        const auto taken = m_names.constFind(bytes);
        if (taken != m_names.constEnd()) {
            if (*taken != path)
                m_out.warnings.append(
                    QStringLiteral("left out, another file has its name in the archive: %1").arg(path));
            return;
        }
        m_names.insert(bytes, path);
        ZipItem item;
        item.path = path;
        item.name = std::move(bytes);
        item.isDir = dir;
        item.size = dir ? 0 : info.status.size;
        item.mtime = info.status.mtime;
        item.mode = info.status.mode;
        item.isLink = info.status.isLink;
        item.evidence = { static_cast<std::uint64_t>(info.status.size), info.status.mtimeNs, info.status.ctimeNs,
                          info.status.identity.inode };
        item.unreadable = dir ? QString() : info.error;
        m_out.items.push_back(std::move(item));
    }

    const ZipJob& m_job;
    const std::function<bool()>& m_cancelled;
    ZipExpansion& m_out;
    QString m_root;
    std::optional<FileIdentity> m_archiveIdentity;
    QSet<QString> m_patternFolders; // folder parts of the names that are patterns
    FolderTree m_tree;
    QHash<QByteArray, QString> m_names; // entry name -> the path stored under it
};

} // namespace

QString ResolveRootDirectory(const QString& root)
{
    if (root.isEmpty())
        return QDir::currentPath();
    if (std::all_of(root.begin(), root.end(), [](QChar c) { return c == u'\\' || c == u'/'; }))
        return QDir::rootPath();
    return QDir::cleanPath(QDir::current().absoluteFilePath(root));
}

bool WildcardMatches(const QString& pattern, const QString& name)
{
    const auto matches = [&name](const QString& p) {
        return matchHere(p.constData(), p.constData() + p.size(), name.constData(), name.constData() + name.size());
    };
    if (matches(pattern))
        return true;
    // "*.*" and "x.*" take names without a dot too, as users of the other platform expect.
    return pattern.endsWith(QStringLiteral(".*")) && matches(pattern.chopped(2));
}

QString StoredName(const QString& path)
{
    QString text = QDir::fromNativeSeparators(path);
#ifdef Q_OS_WIN
    if (text.size() >= 2 && text.at(1) == u':' && text.at(0).isLetter())
        text.remove(0, 2);
#endif
    const QStringList parts = text.split(u'/', Qt::SkipEmptyParts);
    QStringList kept;
    for (const QString& part : parts) {
        if (part == QStringLiteral("."))
            continue;
        if (part == QStringLiteral("..")) {
            if (!kept.isEmpty())
                kept.removeLast();
            continue;
        }
        kept.append(part);
    }
    return kept.join(u'/');
}

ZipExpansion ExpandNames(const ZipJob& job, const std::function<bool()>& cancelled)
{
    ZipExpansion out;
    Expander(job, cancelled, out).run();
    return out;
}
