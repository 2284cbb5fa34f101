#include "backup/HistoryButtons.h"

#include "app/AppError.h"
#include "app/ErrorTrap.h"
#include "app/FileRoutines.h"
#include "app/Form1.h"
#include "app/Launcher.h"
#include "app/Prompter.h"
#include "backup/HistoryFile.h"
#include "app/RoutineNames.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>

HistoryButtons::HistoryButtons(Form1& form)
    : QObject(&form)
    , m_form(form)
{
    connect(m_form.PushButton3, &QPushButton::clicked, this, &HistoryButtons::PushButton3_Click);
    connect(m_form.PushButton4, &QPushButton::clicked, this, &HistoryButtons::PushButton4_Click);
    connect(m_form.PushButton12, &QPushButton::clicked, this, &HistoryButtons::PushButton12_Click);
}

void HistoryButtons::PushButton3_Click()
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

void HistoryButtons::PushButton4_Click()
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
    trap.line(20, [&] { m_form.RichTextBox1->setPlainText(text); });
    // The buffer's own copy would turn the log's CR LF into bare line feeds; the clipboard gets
    // the text exactly as the file holds it.
    trap.line(30, [&] {
        m_form.RichTextBox1->selectAll();
        QGuiApplication::clipboard()->setText(text);
    });
}

void HistoryButtons::PushButton12_Click()
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
