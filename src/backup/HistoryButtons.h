#pragma once

#include <QObject>

class Form1;

// The three history-log buttons of the main window: view, copy to the clipboard, clear.
class HistoryButtons final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryButtons)
public:
    explicit HistoryButtons(Form1& form);

    // "View History Log": opens the log in the desktop's text viewer, or says there is none yet.
    void PushButton3_Click();
    // "Copy History To Clipboard": the whole log as text; nothing at all when there is no log.
    void PushButton4_Click();
    // "Clear History Log": deletes the log after a Yes.
    void PushButton12_Click();

private:
    Form1& m_form;
};
