#include "base/Launcher.h"

#include <QDebug>

namespace {

class LoggingLauncher final : public Launcher
{
public:
    void openPath(const QString& path) override { qInfo().noquote() << "open" << path; }
    void openWebPage(const QString& address) override { qInfo().noquote() << "open" << address; }
};

LoggingLauncher g_loggingLauncher;
Launcher* g_launcher = &g_loggingLauncher;

} // namespace

Launcher& Launcher::instance()
{
    return *g_launcher;
}

void Launcher::install(Launcher* launcher)
{
    g_launcher = launcher ? launcher : &g_loggingLauncher;
}
