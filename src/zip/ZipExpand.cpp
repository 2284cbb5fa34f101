#include "zip/ZipExpand.h"

#include "zip/ArchiveTemporary.h"
#include "zip/ZipEngine.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

enum class Kind { Missing, File, Dir, Other };

struct PathInfo
{
    Kind kind = Kind::Missing;
    qint64 size = 0;
    qint64 mtime = 0;
    quint32 mode = 0;
    bool link = false;
    FileEvidence evidence;
    QString error; // why it is missing or unreadable
};

PathInfo statPath(const QString& path)
{
    PathInfo info;
#ifdef Q_OS_UNIX
    struct stat st;
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &st) != 0) { // follows links: a linked file is archived with its content
        info.error = QString::fromLocal8Bit(std::strerror(errno));
        return info;
    }
    info.kind = S_ISREG(st.st_mode) ? Kind::File : S_ISDIR(st.st_mode) ? Kind::Dir : Kind::Other;
    info.size = static_cast<qint64>(st.st_size);
    info.mtime = static_cast<qint64>(st.st_mtime);
    info.mode = static_cast<quint32>(st.st_mode);
    info.evidence = { static_cast<std::uint64_t>(st.st_size),
                      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
                      static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec,
                      static_cast<std::uint64_t>(st.st_ino) };
    struct stat own;
    info.link = ::lstat(native.constData(), &own) == 0 && S_ISLNK(own.st_mode);
    if (info.kind == Kind::File && ::faccessat(AT_FDCWD, native.constData(), R_OK, AT_EACCESS) != 0)
        info.error = QString::fromLocal8Bit(std::strerror(errno));
#else
    const QFileInfo fi(path);
    if (!fi.exists()) {
        info.error = QStringLiteral("No such file or directory");
        return info;
    }
    info.kind = fi.isFile() ? Kind::File : fi.isDir() ? Kind::Dir : Kind::Other;
    info.size = fi.size();
    info.mtime = fi.lastModified().toSecsSinceEpoch();
    info.mode = info.kind == Kind::Dir ? 040755u : 0100644u;
    if (info.kind == Kind::File && !fi.isReadable())
        info.error = QStringLiteral("Permission denied");
#endif
    return info;
}

QString childOf(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? QString(folder + name) : QString(folder + u'/' + name);
}

bool isHiddenName(const QString& name) { return name.startsWith(u'.'); }

bool hasWildcard(const QString& text) { return text.contains(u'*') || text.contains(u'?'); }

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
        m_archive = absolute(job.archivePath);
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

    void expandName(const QString& given)
    {
        const QString path = absolute(given);
        const qsizetype slash = path.lastIndexOf(u'/');
        const QString last = path.mid(slash + 1);
        if (!hasWildcard(last)) {
            const PathInfo info = statPath(path);
            if (info.kind == Kind::Missing) {
                m_out.warnings.append(QStringLiteral("name not matched: %1").arg(given));
                return;
            }
            addMatched(path, storedBase(given), info, false);
            return;
        }
        // A pattern: the wildcard is in the last part; the folder part is a plain path.
        const QString folder = slash <= 0 ? QStringLiteral("/") : path.left(slash);
        const qsizetype givenSlash = std::max(given.lastIndexOf(u'/'), given.lastIndexOf(QDir::separator()));
        const QString storedFolder = givenSlash < 0 ? QString() : storedBase(given.left(givenSlash + 1));
        const PathInfo folderInfo = statPath(folder);
        if (folderInfo.kind != Kind::Dir) {
            m_out.warnings.append(QStringLiteral("name not matched: %1").arg(given));
            return;
        }
        addChildren(folder, storedFolder, last);
    }

    // The folder's entries whose names match the wildcard (every name when it is empty), hidden
    // names left out unless asked for.
    void addChildren(const QString& folder, const QString& stored, const QString& wildcard = {})
    {
        const QStringList names = listFolder(folder);
        for (const QString& name : names) {
            if (m_cancelled())
                return;
            if (!m_job.includeHidden && isHiddenName(name))
                continue;
            if (!wildcard.isEmpty() && !WildcardMatches(wildcard, name))
                continue;
            const QString childPath = childOf(folder, name);
            const QString childStored = stored.isEmpty() ? name : QString(stored + u'/' + name);
            addMatched(childPath, childStored, statPath(childPath), true);
        }
    }

    QStringList listFolder(const QString& folder)
    {
        QStringList names;
#ifdef Q_OS_UNIX
        // A folder that cannot be listed would silently leave its files out.
        if (::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), R_OK | X_OK, AT_EACCESS) != 0) {
            m_out.warnings.append(QStringLiteral("could not read folder: %1: %2")
                                      .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
            return names;
        }
#endif
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            it.next();
            names.append(it.fileName());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    bool isOwnOutput(const QString& path) const
    {
        return path == m_archive || IsArchiveTemporaryName(path.mid(path.lastIndexOf(u'/') + 1));
    }

    void addMatched(const QString& path, const QString& stored, const PathInfo& info, bool fromPattern)
    {
        if (isOwnOutput(path))
            return;
        switch (info.kind) {
        case Kind::Missing:
            m_out.warnings.append(QStringLiteral("could not open for reading: %1: %2").arg(path, info.error));
            return;
        case Kind::Other:
            m_out.warnings.append(QStringLiteral("skipped, not a regular file: %1").arg(path));
            return;
        case Kind::File:
            if (!info.error.isEmpty()) {
                m_out.warnings.append(QStringLiteral("could not open for reading: %1: %2").arg(path, info.error));
                return;
            }
            addItem(path, stored, info, false);
            return;
        case Kind::Dir:
            if (!m_job.noDirEntries && !m_job.junkPaths)
                addItem(path, stored, info, true);
            if (m_job.recurse)
                walk(path, stored);
            else if (!fromPattern && m_job.noDirEntries)
                m_out.warnings.append(QStringLiteral("name not matched: %1").arg(path));
            return;
        }
    }

    void addItem(const QString& path, const QString& stored, const PathInfo& info, bool dir)
    {
        QString name = m_job.junkPaths ? stored.mid(stored.lastIndexOf(u'/') + 1) : stored;
        if (name.isEmpty())
            return; // the root folder itself has no name of its own
        if (dir)
            name += u'/';
        QByteArray utf8 = name.toUtf8();
        if (m_names.contains(utf8))
            return;
        m_names.insert(utf8);
        ZipItem item;
        item.path = path;
        item.name = std::move(utf8);
        item.isDir = dir;
        item.size = dir ? 0 : info.size;
        item.mtime = info.mtime;
        item.mode = info.mode;
        item.evidence = info.evidence;
        item.isLink = info.link;
        m_out.items.push_back(std::move(item));
    }

    // Everything below a matched folder; a folder reached twice through links is entered once.
    void walk(const QString& folder, const QString& stored)
    {
        const QString canonical = QFileInfo(folder).canonicalFilePath();
        if (canonical.isEmpty() || m_visited.contains(canonical))
            return;
        m_visited.insert(canonical);
        addChildren(folder, stored);
    }

    const ZipJob& m_job;
    const std::function<bool()>& m_cancelled;
    ZipExpansion& m_out;
    QString m_root;
    QString m_archive;
    QSet<QByteArray> m_names;
    QSet<QString> m_visited;
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
