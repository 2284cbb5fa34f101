#include "zip/ZipFileSet.h"

#include "base/AppError.h"
#include "base/EventYield.h"
#include "zip/ZipLibrary.h"
#include "base/RoutineNames.h"

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
{
}

bool ZipFileSet::recurseFolders() const { return m_recurse == 1; }
void ZipFileSet::setRecurseFolders(bool value) { m_recurse = flag(value); }
QString ZipFileSet::zipFileName() const { return m_zipFileName; }
void ZipFileSet::setZipFileName(const QString& value) { m_zipFileName = value; }
bool ZipFileSet::encrypted() const { return m_encrypt == 1; }
void ZipFileSet::setEncrypted(bool value) { m_encrypt = flag(value); }
bool ZipFileSet::includeSystemFiles() const { return m_systemFiles == 1; }
void ZipFileSet::setIncludeSystemFiles(bool value) { m_systemFiles = flag(value); }
qint32 ZipFileSet::zipFileCount() const { return static_cast<qint32>(m_fileList.size()) - 1; }
QString ZipFileSet::rootDirectory() const { return m_rootDirectory; }
void ZipFileSet::setRootDirectory(const QString& value) { m_rootDirectory = value; }
bool ZipFileSet::updatingZip() const { return m_update == 1; }
void ZipFileSet::setUpdatingZip(bool value) { m_update = flag(value); }
bool ZipFileSet::ignorePath() const { return m_ignorePath == 1; }
void ZipFileSet::setIgnorePath(bool value) { m_ignorePath = flag(value); }

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
    YieldToEvents();
}

void ZipFileSet::removeFile(const QString& name)
{
    const QString removed = key(name);
    if (!m_keys.remove(removed))
        throw AppError(0x800407D2u, Routine::ZipRemoveFile, QStringLiteral("File is not in Zip List"));
    m_fileList.removeIf([&removed](const QString& entry) { return key(entry) == removed; });
}

qint32 ZipFileSet::makeZipFile()
{
    try {
        const ZipNameList names = m_fileList;
        YieldToEvents();
        // The root directory goes on in capitals where names ignore case; on Linux capitals would
        // name another folder.
#if defined(Q_OS_WIN)
        const QString root = m_rootDirectory.toUpper();
#else
        const QString root = m_rootDirectory;
#endif
        return CallZipLibrary(static_cast<std::int32_t>(names.size()), m_zipFileName, names, m_ignorePath, m_recurse,
                              m_update, 0, root, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, m_reuseFrom);
    } catch (...) {
        throw AppError(0x80040064u, Routine::ZipMakeFile,
                       QStringLiteral("CGZipFiles component failure"));
    }
}

QString ZipFileSet::lastMessage() const { return LastZipMessage(); }
