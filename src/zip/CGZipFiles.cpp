#include "zip/CGZipFiles.h"

#include "app/AppError.h"
#include "app/EventYield.h"
#include "zip/CodeModule.h"
#include "app/RoutineNames.h"

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

CGZipFiles::CGZipFiles()
    : m_fileList { QLatin1String(Placeholder) }
    , m_keys { key(QLatin1String(Placeholder)) }
    , m_rootDirectory(QStringLiteral("\\"))
{
}

bool CGZipFiles::RecurseFolders() const { return m_recurse == 1; }
void CGZipFiles::setRecurseFolders(bool value) { m_recurse = flag(value); }
QString CGZipFiles::ZipFileName() const { return m_zipFileName; }
void CGZipFiles::setZipFileName(const QString& value) { m_zipFileName = value; }
bool CGZipFiles::Encrypted() const { return m_encrypt == 1; }
void CGZipFiles::setEncrypted(bool value) { m_encrypt = flag(value); }
bool CGZipFiles::IncludeSystemFiles() const { return m_systemFiles == 1; }
void CGZipFiles::setIncludeSystemFiles(bool value) { m_systemFiles = flag(value); }
qint32 CGZipFiles::ZipFileCount() const { return static_cast<qint32>(m_fileList.size()) - 1; }
QString CGZipFiles::RootDirectory() const { return m_rootDirectory; }
void CGZipFiles::setRootDirectory(const QString& value) { m_rootDirectory = value; }
bool CGZipFiles::UpdatingZip() const { return m_update == 1; }
void CGZipFiles::setUpdatingZip(bool value) { m_update = flag(value); }
bool CGZipFiles::IgnorePath() const { return m_ignorePath == 1; }
void CGZipFiles::setIgnorePath(bool value) { m_ignorePath = flag(value); }

QString CGZipFiles::key(const QString& name)
{
    return NameCase == Qt::CaseInsensitive ? name.toCaseFolded() : name;
}

void CGZipFiles::AddFile(const QString& name)
{
    // A set of keys beside the list, so adding N names costs N lookups, not N list scans.
    if (m_keys.contains(key(name)))
        throw AppError(0x800407D1u, Routine::ZipAddFile, QStringLiteral("File is already in Zip List"));
    m_keys.insert(key(name));
    m_fileList.append(name);
    YieldToEvents();
}

void CGZipFiles::RemoveFile(const QString& name)
{
    const QString removed = key(name);
    if (!m_keys.remove(removed))
        throw AppError(0x800407D2u, Routine::ZipRemoveFile, QStringLiteral("File is not in Zip List"));
    m_fileList.removeIf([&removed](const QString& entry) { return key(entry) == removed; });
}

qint32 CGZipFiles::MakeZipFile()
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

QString CGZipFiles::GetLastMessage() const { return LastZipMessage(); }
