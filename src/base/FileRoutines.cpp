#include "base/FileRoutines.h"

#include "base/AppError.h"
#include "base/EventYield.h"
#include "base/RoutineNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

bool FileExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).lastModified().isValid();
}

bool FolderExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

void ForceDeleteFile(const QString& path)
{
    QFile file(path);
    file.setPermissions(file.permissions() | QFile::WriteOwner | QFile::WriteUser);
    file.remove();
}

void DeleteFileQuietly(const QString& path)
{
    YieldToEvents();
    if (path.isEmpty() || QFileInfo(path).isDir())
        return;
    if (!QFile::remove(path))
        ForceDeleteFile(path);
}

QString DesktopFolder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (desktop.isEmpty())
        throw AppError::invalidProcedureCall(Routine::DesktopFolder);
    return QDir::toNativeSeparators(desktop) + QDir::separator();
}

QString ProgramFolder()
{
    return QCoreApplication::applicationDirPath();
}
