#include "base/DesktopLauncher.h"
#include "base/ExitDeadline.h"
#include "base/MessageBoxPrompter.h"
#include "base/TerminationSignals.h"
#include "window/MainWindow.h"
#include "window/SingleInstance.h"
#include "zip/ZipLibrary.h"

#include <QApplication>
#include <QSessionManager>
#include <cstdio>
#include <cstdlib>

namespace {

bool displayAvailable()
{
    return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char* argv[])
{
    if (!displayAvailable()) {
        std::fputs("tessaly: no graphical display found (DISPLAY is not set); start it from a desktop session.\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaly"));
    QApplication::setOrganizationName(QStringLiteral("Quarnell"));
    // The window may hide in the tray; only closing it ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    // A second start hands over to the program already running: two schedulers would write the
    // same archives.
    SingleInstance instance;
    if (!instance.claim())
        return 0;

    MessageBoxPrompter prompter;
    Prompter::install(&prompter);
    DesktopLauncher launcher;
    Launcher::install(&launcher);

    // A close ends the program within about two seconds, whatever the disks do.
    ExitDeadline::Install(std::chrono::seconds(2));
    MainWindow window;
    prompter.setOwner(&window);
    TerminationSignals signals;
    QObject::connect(&signals, &TerminationSignals::closeRequested, &window, &QWidget::close);
    // The end of the desktop session is a close request like any other.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.close(); });

    QObject::connect(&instance, &SingleInstance::showRequested, &window, &MainWindow::bringForward);

    window.load();
    // A close request while a start-up box was open (SIGTERM, the end of the session) has already
    // run the shutdown steps: the program ends here rather than start its event loop.
    int code = 0;
    if (!window.isUnloaded()) {
        window.show();
        code = app.exec();
    }
    Prompter::install(nullptr);
    Launcher::install(nullptr);
    // Waiting for an archive stuck in a read that never returns would keep the program alive for
    // good; its temporary is left for the next run's sweep.
    if (ZipWorkLeftBehind()) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
