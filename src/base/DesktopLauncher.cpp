#include "base/DesktopLauncher.h"

#include <QDesktopServices>
#include <QUrl>

void DesktopLauncher::openPath(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DesktopLauncher::openWebPage(const QString& address)
{
    QDesktopServices::openUrl(QUrl(address));
}
