#include "folders/SampleFolders.h"

#include "base/AppError.h"
#include "base/ErrorTrap.h"
#include "base/EventYield.h"
#include "base/FileRoutines.h"
#include "base/RoutineNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr qsizetype MaxPathLength = 260;
constexpr std::uint32_t PermissionDenied = 70;
constexpr std::uint32_t PathNotFound = 76;

fs::path toFsPath(const QString& path)
{
#ifdef Q_OS_WIN
    return fs::path(path.toStdWString());
#else
    return fs::path(QFile::encodeName(path).toStdString());
#endif
}

QString fromFsName(const fs::path& name)
{
#ifdef Q_OS_WIN
    return QString::fromStdWString(name.wstring());
#else
    // Bytes that are not valid in the locale's encoding come back as replacement characters,
    // which the name filter refuses.
    return QFile::decodeName(QByteArray::fromStdString(name.native()));
#endif
}

AppError listingError(const std::error_code& error)
{
    if (error == std::errc::permission_denied || error == std::errc::operation_not_permitted)
        return AppError(PermissionDenied, Routine::SubFolders, QStringLiteral("Permission denied"));
    if (error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory)
        return AppError(PathNotFound, Routine::SubFolders, QStringLiteral("Path not found"));
    return AppError(5, Routine::SubFolders, QString::fromLocal8Bit(error.message()));
}

bool cannotBeListed(const AppError& error)
{
    return error.number() == PermissionDenied || error.number() == PathNotFound;
}

bool acceptedName(const QString& name)
{
    return name.size() < MaxPathLength && !HasUnusualChars(name) && !name.contains(u'?') && name != u"."
        && name != u"..";
}

QString canonical(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

// One walk over a folder set and the levels below it. A folder reached a second time (through a
// link back up the tree) is not taken again, so a cycle cannot make the walk run away.
class SampleWalk
{
public:
    explicit SampleWalk(const AttributeReader& attributes)
        : m_attributes(attributes)
    { }

    void run(QStringList& folderSet, bool recurse)
    {
        for (const QString& path : folderSet)
            m_visited.insert(canonical(path));
        level(folderSet, recurse);
    }

private:
    void level(QStringList& folderSet, bool recurse)
    {
        ErrorTrap trap(Routine::SubFolders, Routine::SampleModule);
        QStringList found;
        // The set loses entries while it is walked; walk the entries it had at the start.
        const QStringList paths = folderSet;
        for (const QString& path : paths) {
            if (!FolderExists(path) || path.size() >= MaxPathLength)
                continue;
            YieldToEvents();
            trap.line(10, [&] {
                try {
                    if (!QDir(path).isRoot() && IsHiddenSystemFolder(m_attributes(path)))
                        return;
                    listSubFolders(path, found);
                } catch (const AppError& error) {
                    if (!cannotBeListed(error))
                        throw;
                    folderSet.removeOne(path);
                }
            });
        }
        if (recurse && !found.isEmpty())
            trap.line(20, [&] { level(found, true); });
        for (const QString& path : std::as_const(found)) {
            if (!FolderExists(path))
                continue;
            YieldToEvents();
            trap.line(30, [&] {
                if (QDir(path).isRoot() || !IsHiddenSystemFolder(m_attributes(path)))
                    folderSet.append(path);
            });
        }
    }

    // Appends path + name + separator for each accepted sub-folder, in name order. Sub-folders found
    // before a failure stay; the failure is raised after them.
    void listSubFolders(const QString& path, QStringList& found)
    {
        std::error_code error;
        fs::directory_iterator it(toFsPath(path), error);
        QStringList names;
        for (; !error && it != fs::directory_iterator(); it.increment(error)) {
            YieldToEvents();
            std::error_code typeError;
            if (!it->is_directory(typeError))
                continue;
            const QString name = fromFsName(it->path().filename());
            if (acceptedName(name))
                names.append(name);
        }
        std::sort(names.begin(), names.end(),
                  [](const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) < 0; });
        for (const QString& name : std::as_const(names)) {
            const QString subFolder = path + name + QDir::separator();
            const QString key = canonical(subFolder);
            if (key.isEmpty() || m_visited.contains(key))
                continue;
            m_visited.insert(key);
            found.append(subFolder);
        }
        if (error)
            throw listingError(error);
    }

    const AttributeReader& m_attributes;
    QSet<QString> m_visited;
};

} // namespace

quint32 FolderAttributes(const QString& path)
{
#ifdef Q_OS_WIN
    const DWORD bits = GetFileAttributesW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()));
    if (bits == INVALID_FILE_ATTRIBUTES)
        throw AppError(PathNotFound, Routine::SubFolders, QStringLiteral("Path not found"));
    return bits;
#else
    // Without its final separator, so that a link is seen as the link and not as its target.
    const QFileInfo info(QDir::cleanPath(path));
    if (!info.exists() && !info.isSymLink())
        throw AppError(PathNotFound, Routine::SubFolders, QStringLiteral("Path not found"));
    quint32 attributes = 0;
    if (info.isDir())
        attributes |= FolderAttribute::Directory;
    if (info.isHidden())
        attributes |= FolderAttribute::Hidden;
    if (info.isSymLink())
        attributes |= FolderAttribute::ReparsePoint;
    if (!info.isWritable())
        attributes |= FolderAttribute::ReadOnly;
    return attributes;
#endif
}

bool IsHiddenSystemFolder(quint32 attributes)
{
    constexpr quint32 hiddenSystem = FolderAttribute::Directory | FolderAttribute::Hidden | FolderAttribute::System;
    return attributes == hiddenSystem || attributes == (hiddenSystem | FolderAttribute::ReparsePoint);
}

bool HasUnusualChars(const QString& name)
{
    return std::any_of(name.begin(), name.end(), [](QChar c) {
        const char16_t code = c.unicode();
        return code < 32 || (code >= 127 && code <= 159) || code == u'?' || code > 255;
    });
}

void GetSubDirectories2016(QStringList& folderSet, bool recurse)
{
    GetSubDirectories2016(folderSet, recurse, &FolderAttributes);
}

void GetSubDirectories2016(QStringList& folderSet, bool recurse, const AttributeReader& attributes)
{
    SampleWalk(attributes).run(folderSet, recurse);
}

QString SamplesFolder()
{
    return QDir::toNativeSeparators(ProgramFolder()) + QDir::separator() + QStringLiteral("Samples")
        + QDir::separator();
}
