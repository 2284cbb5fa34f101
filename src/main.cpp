#include "app/DesktopLauncher.h"
#include "app/Form1.h"
#include "app/MessageBoxPrompter.h"
#include "app/TerminationSignals.h"

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

    MessageBoxPrompter prompter;
    Prompter::install(&prompter);
    DesktopLauncher launcher;
    Launcher::install(&launcher);

    Form1 form;
    prompter.setOwner(&form);
    TerminationSignals signals;
    QObject::connect(&signals, &TerminationSignals::closeRequested, &form, &QWidget::close);
    // The end of the desktop session is a close request like any other.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [&form](QSessionManager&) { form.close(); });

    form.Form_Load();
    form.show();
    const int code = app.exec();
    Prompter::install(nullptr);
    Launcher::install(nullptr);
    return code;
}
