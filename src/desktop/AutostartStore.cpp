#include "desktop/AutostartStore.h"

#include <QCoreApplication>
#include <QDir>

#ifdef Q_OS_WIN
#include <QSettings>
#else
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#endif

namespace AutostartStore {

namespace {

QString ProgramPath(const QString& fileName)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(fileName);
}

} // namespace

#ifdef Q_OS_WIN

namespace {
const QString RunKey = QStringLiteral("SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN\\");
}

void SetRegistryValue(const QString& subKey, const QString& valueName, const QString& value, int valueType)
{
    QSettings key(QStringLiteral("HKEY_LOCAL_MACHINE\\") + subKey, QSettings::NativeFormat);
    if (valueType == 1)
        key.setValue(valueName, value);
    else if (valueType == 4)
        key.setValue(valueName, value.toInt());
    key.sync();
}

void DeleteRegistryValue(const QString& subKey, const QString& valueName)
{
    QSettings key(QStringLiteral("HKEY_LOCAL_MACHINE\\") + subKey, QSettings::NativeFormat);
    key.remove(valueName);
    key.sync();
}

void WriteEntry(const QString& fileName)
{
    // Quoted, so a folder name with a blank cannot start another program ("C:\Program.exe").
    const QString path = QDir::toNativeSeparators(ProgramPath(fileName));
    SetRegistryValue(RunKey, fileName, u'"' + path + u'"', 1);
}

void DeleteEntry(const QString& fileName)
{
    DeleteRegistryValue(RunKey, fileName);
}

#else

namespace {

// A value of type string: backslash and control characters escaped.
QString EscapeString(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

// One argument of Exec=, quoted: inside the quotes ", `, $ and \ take a backslash, % is a field
// code unless doubled, and the string escaping applies on top.
QString QuotedExecArgument(const QString& argument)
{
    QString quoted;
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        if (c == u'%')
            quoted += u'%';
        quoted += c;
    }
    return EscapeString(u'"' + quoted + u'"');
}

} // namespace

QString Folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
}

QString EntryFile(const QString& fileName)
{
    return Folder() + u'/' + fileName + QStringLiteral(".desktop");
}

QByteArray EntryText(const QString& programPath, const QString& iconPath)
{
    QString entry = QStringLiteral("[Desktop Entry]\n"
                                   "Type=Application\n"
                                   "Version=1.0\n"
                                   "Name=Tessaly\n"
                                   "GenericName=Folder backup\n"
                                   "Comment=Backs up your folders into ZIP archives\n");
    entry += QStringLiteral("Exec=") + QuotedExecArgument(programPath) + u'\n';
    entry += QStringLiteral("TryExec=") + EscapeString(programPath) + u'\n';
    entry += QStringLiteral("Icon=") + EscapeString(iconPath) + u'\n';
    entry += QStringLiteral("Terminal=false\n"
                            "StartupNotify=false\n"
                            "X-GNOME-Autostart-enabled=true\n"
                            "X-GNOME-Autostart-Delay=2\n"
                            "X-KDE-autostart-after=panel\n"
                            "X-LXQt-Need-Tray=true\n");
    return entry.toUtf8();
}

void WriteEntry(const QString& fileName)
{
    const QString program = ProgramPath(fileName);
    const QString icon = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tessaly.png"));
    if (!QDir().mkpath(Folder()))
        return;
    QSaveFile file(EntryFile(fileName));
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(EntryText(program, QFile::exists(icon) ? icon : QStringLiteral("tessaly")));
    file.commit();
}

void DeleteEntry(const QString& fileName)
{
    QFile::remove(EntryFile(fileName));
}

#endif

} // namespace AutostartStore
