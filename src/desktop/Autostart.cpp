#include "desktop/Autostart.h"

#include "desktop/AutostartStore.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace Autostart {

QString programFileName()
{
    // The running program itself, never some other program that happens to lie beside it.
    const QString path = QCoreApplication::applicationFilePath();
    return path.isEmpty() ? QString() : QFileInfo(path).fileName();
}

void enable()
{
    const QString name = programFileName();
    if (!name.isEmpty())
        AutostartStore::writeEntry(name);
}

void disable()
{
    const QString name = programFileName();
    if (!name.isEmpty())
        AutostartStore::deleteEntry(name);
}

} // namespace Autostart
