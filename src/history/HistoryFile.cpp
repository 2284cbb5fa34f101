#include "history/HistoryFile.h"

#include "base/TextRoutines.h"

#include <QDir>
#include <QStandardPaths>

namespace {
QString g_historyFile;
}

QString HistoryFolder()
{
    const QString temp = qEnvironmentVariable("TEMP");
    if (!temp.isEmpty())
        return temp;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    QDir().mkpath(cache);
    return cache;
}

QString HistoryFilePath(const QString& displayName)
{
    const QString compact = StripFileNameChars(DropLastWord(displayName, QStringLiteral("Software")));
    QString folder = HistoryFolder();
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder + compact + QStringLiteral(".txt");
}

QString HistoryFile()
{
    return g_historyFile;
}

void SetHistoryFile(const QString& path)
{
    g_historyFile = path;
}
