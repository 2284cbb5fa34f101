#pragma once

#include "base/MousePointer.h"

#include <QCursor>

class QWidget;

// The mouse pointer of one window: which of the three it shows, and the hand from HAND-M.CUR beside
// the program when that file holds one.
class WindowPointer final
{
    Q_DISABLE_COPY_MOVE(WindowPointer)
public:
    explicit WindowPointer(QWidget& window)
        : m_window(window)
    { }

    // Loads the hand from the file beside the program; without it the desktop's own hand is used.
    void loadHandCursor();

    MousePointer current() const { return m_pointer; }
    void set(MousePointer pointer);
    bool isBusy() const { return m_pointer == MousePointer::Busy; }
    bool hasCustomHand() const { return m_hasCustomHand; }

private:
    QWidget& m_window;
    MousePointer m_pointer = MousePointer::Default;
    QCursor m_handCursor;
    bool m_hasCustomHand = false;
};
