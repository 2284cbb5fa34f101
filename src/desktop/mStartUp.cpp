#include "desktop/mStartUp.h"

#include "desktop/RegStuff.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace mStartUp {

QString ProgramFileName()
{
    // The running program itself, never some other program that happens to lie beside it.
    const QString path = QCoreApplication::applicationFilePath();
    return path.isEmpty() ? QString() : QFileInfo(path).fileName();
}

void EnableStartWithWindows()
{
    const QString name = ProgramFileName();
    if (!name.isEmpty())
        RegStuff::WriteRunValue(name);
}

void DisableStartWithWindows()
{
    const QString name = ProgramFileName();
    if (!name.isEmpty())
        RegStuff::DeleteRunValue(name);
}

} // namespace mStartUp
