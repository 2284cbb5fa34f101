#include "history/HistoryButtons.h"

#include "base/AppError.h"
#include "base/ErrorTrap.h"
#include "base/FileRoutines.h"
#include "window/MainWindow.h"
#include "base/Launcher.h"
#include "base/Prompter.h"
#include "history/HistoryFile.h"
#include "base/RoutineNames.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>

HistoryButtons::HistoryButtons(MainWindow& form)
    : QObject(&form)
    , m_form(form)
{
    connect(m_form.controls().viewHistoryButton, &QPushButton::clicked, this, &HistoryButtons::viewLog);
    connect(m_form.controls().copyHistoryButton, &QPushButton::clicked, this, &HistoryButtons::copyLog);
    connect(m_form.controls().clearHistoryButton, &QPushButton::clicked, this, &HistoryButtons::clearLog);
}

void HistoryButtons::viewLog()
{
    ErrorTrap trap(Routine::ViewHistory);
    trap.line(10, [&] {
        if (!FileExists(HistoryFile())) {
            Prompter::instance().show(
                QStringLiteral("There isn't a history to view because actions have not been performed yet."),
                ApplicationTitle(), Prompter::Buttons::Ok, Prompter::Icon::None);
            return;
        }
        Launcher::instance().openPath(HistoryFile());
    });
}

void HistoryButtons::copyLog()
{
    ErrorTrap trap(Routine::CopyHistory);
    QString text;
    bool present = false;
    trap.line(10, [&] {
        if (!FileExists(HistoryFile()))
            return;
        QFile file(HistoryFile());
        if (!file.open(QIODevice::ReadOnly))
            throw AppError(75, Routine::CopyHistory,
                           QStringLiteral("Path/File access error: ") + HistoryFile());
        text = QString::fromLocal8Bit(file.readAll());
        present = true;
    });
    if (!present)
        return;
    trap.line(20, [&] { m_form.controls().copyBuffer->setPlainText(text); });
    // The buffer's own copy would turn the log's CR LF into bare line feeds; the clipboard gets
    // the text exactly as the file holds it.
    trap.line(30, [&] {
        m_form.controls().copyBuffer->selectAll();
        QGuiApplication::clipboard()->setText(text);
    });
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
