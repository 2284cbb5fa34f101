#include "history/HistoryFile.h"

#include "base/TextRoutines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

QString g_historyFile;

QString compactName(const QString& displayName)
{
    return StripFileNameChars(DropLastWord(displayName, QStringLiteral("Software")));
}

QString withSeparator(QString folder)
{
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

// The per-user state folder: where logs belong, and what disk cleaners leave alone.
QString stateHome()
{
#ifdef Q_OS_WIN
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
#else
    // A relative XDG_STATE_HOME is to be ignored.
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (QDir::isAbsolutePath(state))
        return state;
    return QDir::homePath() + QStringLiteral("/.local/state");
#endif
}

// Where TEMP is not set, older versions kept the log in the user's cache folder, which cleaners
// empty. It moves to its new place once; a log already there keeps its lines after the old ones.
void moveLogFromCache(const QString& newPath, const QString& fileName)
{
#ifndef Q_OS_WIN
    const QString oldPath
        = withSeparator(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)) + fileName;
    const QFileInfo old(oldPath);
    if (!old.isFile() || old.isSymLink() || old.absoluteFilePath() == QFileInfo(newPath).absoluteFilePath())
        return;
    if (!QFileInfo::exists(newPath) && QFile::rename(oldPath, newPath))
        return;
    QFile oldLog(oldPath);
    QFile newLog(newPath);
    QSaveFile merged(newPath);
    if (!oldLog.open(QIODevice::ReadOnly) || (newLog.exists() && !newLog.open(QIODevice::ReadOnly))
        || !merged.open(QIODevice::WriteOnly))
        return;
    merged.write(oldLog.readAll());
    merged.write(newLog.readAll());
    // The old log goes only once every line of it is in the new one.
    if (merged.commit())
        oldLog.remove();
#else
    Q_UNUSED(newPath)
    Q_UNUSED(fileName)
#endif
}

QString historyFolder(const QString& displayName)
{
    const QString temp = qEnvironmentVariable("TEMP");
    if (!temp.isEmpty())
        return temp;
    const QString folder = withSeparator(stateHome()) + compactName(displayName);
    QDir().mkpath(folder);
    return folder;
}

} // namespace

QString HistoryFilePath(const QString& displayName)
{
    const QString fileName = compactName(displayName) + QStringLiteral(".txt");
    const QString path = withSeparator(historyFolder(displayName)) + fileName;
    if (qEnvironmentVariable("TEMP").isEmpty())
        moveLogFromCache(path, fileName);
    return path;
}

QString HistoryFile()
{
    return g_historyFile;
}

void SetHistoryFile(const QString& path)
{
    g_historyFile = path;
}
