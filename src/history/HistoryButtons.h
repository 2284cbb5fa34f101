#pragma once

#include <QObject>

class QPushButton;

// The three history-log buttons of the main window: view, copy to the clipboard, clear.
class HistoryButtons final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryButtons)
public:
    HistoryButtons(QPushButton* viewButton, QPushButton* copyButton, QPushButton* clearButton, QObject* parent);

    // "View History Log": opens the log in the desktop's text viewer, or says there is none yet.
    void viewLog();
    // "Copy History To Clipboard": the whole log as text; nothing at all when there is no log.
    void copyLog();
    // "Clear History Log": deletes the log after a Yes.
    void clearLog();
};
