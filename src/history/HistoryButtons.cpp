#include "history/HistoryButtons.h"

#include "base/AppError.h"
#include "base/ErrorTrap.h"
#include "base/FileRoutines.h"
#include "base/Launcher.h"
#include "base/Prompter.h"
#include "base/RoutineNames.h"
#include "history/HistoryFile.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QPushButton>

HistoryButtons::HistoryButtons(QPushButton* viewButton, QPushButton* copyButton, QPushButton* clearButton,
                               QObject* parent)
    : QObject(parent)
{
    connect(viewButton, &QPushButton::clicked, this, &HistoryButtons::viewLog);
    connect(copyButton, &QPushButton::clicked, this, &HistoryButtons::copyLog);
    connect(clearButton, &QPushButton::clicked, this, &HistoryButtons::clearLog);
}

void HistoryButtons::viewLog()
{
    ErrorTrap trap(Routine::ViewHistory);
    trap.line(10, [&] {
        if (FileExists(HistoryFile()))
            Launcher::instance().openPath(HistoryFile());
        else
            Prompter::instance().show(
                QStringLiteral("There isn't a history to view because actions have not been performed yet."),
                ApplicationTitle(), Prompter::Buttons::Ok, Prompter::Icon::None);
    });
}

void HistoryButtons::copyLog()
{
    ErrorTrap trap(Routine::CopyHistory);
    // Finding the log and reading it are one numbered line.
    if (!trap.value(10, [] { return FileExists(HistoryFile()); }).value_or(false))
        return;
    const auto text = trap.value(10, [] {
        QFile file(HistoryFile());
        if (!file.open(QIODevice::ReadOnly))
            throw AppError(75, Routine::CopyHistory, QStringLiteral("Path/File access error: ") + HistoryFile());
        return QString::fromLocal8Bit(file.readAll());
    });
    if (!text)
        return;
    // Straight from the file to the clipboard, so the log's CR LF stays as it is.
    trap.line(30, [&] { QGuiApplication::clipboard()->setText(*text); });
}

void HistoryButtons::clearLog()
{
    ErrorTrap trap(Routine::ClearHistory);
    trap.line(10, [&] {
        const Prompter::Answer answer = Prompter::instance().show(
            QStringLiteral("Are you sure you want to delete the history log and start over?"), ApplicationTitle(),
            Prompter::Buttons::YesNo, Prompter::Icon::None);
        if (answer == Prompter::Answer::Yes)
            DeleteFileQuietly(HistoryFile());
    });
}
