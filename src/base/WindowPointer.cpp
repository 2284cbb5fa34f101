#include "base/WindowPointer.h"

#include "base/CursorFile.h"
#include "base/FileRoutines.h"

#include <QWidget>

void WindowPointer::loadHandCursor()
{
    const QString path = ProgramFolder() + QStringLiteral("/HAND-M.CUR");
    if (!FileExists(path))
        return;
    if (const auto cursor = LoadCursorFile(path)) {
        m_handCursor = *cursor;
        m_hasCustomHand = true;
    }
}

void WindowPointer::set(MousePointer pointer)
{
    m_pointer = pointer;
    switch (pointer) {
    case MousePointer::Default:
        m_window.unsetCursor();
        break;
    case MousePointer::Busy:
        m_window.setCursor(Qt::WaitCursor);
        break;
    case MousePointer::Custom:
        m_window.setCursor(m_hasCustomHand ? m_handCursor : QCursor(Qt::PointingHandCursor));
        break;
    }
}
