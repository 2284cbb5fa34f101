#include "desktop/Autostart.h"

#include "desktop/AutostartStore.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace Autostart {

QString ProgramFileName()
{
    // The running program itself, never some other program that happens to lie beside it.
    const QString path = QCoreApplication::applicationFilePath();
    return path.isEmpty() ? QString() : QFileInfo(path).fileName();
}

void Enable()
{
    const QString name = ProgramFileName();
    if (!name.isEmpty())
        AutostartStore::WriteEntry(name);
}

void Disable()
{
    const QString name = ProgramFileName();
    if (!name.isEmpty())
        AutostartStore::DeleteEntry(name);
}

} // namespace Autostart
