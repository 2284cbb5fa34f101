#include "zip/ZipFileSet.h"

#include "base/AppError.h"
#include "base/RoutineNames.h"
#include "zip/ZipLibrary.h"

#include <exception>

namespace {

// Names that differ only in letter case are the same file where the file system ignores case;
// on Linux they are two files, and treating them as one would leave one of them out of the
// backup.
constexpr Qt::CaseSensitivity NameCase =
#if defined(Q_OS_WIN) || defined(Q_OS_DARWIN)
    Qt::CaseInsensitive;
#else
    Qt::CaseSensitive;
#endif

} // namespace

ZipFileSet::ZipFileSet()
    : m_fileList { QLatin1String(Placeholder) }
    , m_keys { key(QLatin1String(Placeholder)) }
    , m_rootDirectory(QStringLiteral("\\"))
{ }

QString ZipFileSet::key(const QString& name)
{
    return NameCase == Qt::CaseInsensitive ? name.toCaseFolded() : name;
}

void ZipFileSet::addFile(const QString& name)
{
    // A set of keys beside the list, so adding N names costs N lookups, not N list scans.
    if (m_keys.contains(key(name)))
        throw AppError(0x800407D1u, Routine::ZipAddFile, QStringLiteral("File is already in Zip List"));
    m_keys.insert(key(name));
    m_fileList.append(name);
    pumpEvents();
}

void ZipFileSet::removeFile(const QString& name)
{
    const QString removed = key(name);
    if (!m_keys.remove(removed))
        throw AppError(0x800407D2u, Routine::ZipRemoveFile, QStringLiteral("File is not in Zip List"));
    m_fileList.removeIf([&removed](const QString& entry) { return key(entry) == removed; });
}

ZipJob ZipFileSet::job() const
{
    ZipJob job;
    job.archivePath = m_zipFileName;
    // Slot 0 is never a file, even once the placeholder was removed.
    job.names = m_fileList.mid(1);
    // The root directory goes on in capitals where names ignore case; on Linux capitals would
    // name another folder.
#if defined(Q_OS_WIN)
    job.rootDirectory = m_rootDirectory.toUpper();
#else
    job.rootDirectory = m_rootDirectory;
#endif
    job.junkPaths = m_ignorePath;
    job.recurse = m_recurse;
    job.update = m_update;
    job.reuseFrom = m_reuseFrom;
    job.cancelled = m_cancelled;
    job.pumpEvents = m_pumpEvents;
    return job;
}

void ZipFileSet::pumpEvents() const
{
    if (m_pumpEvents)
        m_pumpEvents();
}

qint32 ZipFileSet::makeZipFile()
{
    // Each archive starts with an empty message.
    m_lastMessage.clear();
    try {
        const ZipJob archive = job();
        pumpEvents();
        const ZipResult result = MakeZipArchive(archive);
        m_lastMessage = result.message;
        return result.code;
    } catch (...) {
        throw AppError(0x80040064u, Routine::ZipMakeFile, QStringLiteral("CGZipFiles component failure"));
    }
}
