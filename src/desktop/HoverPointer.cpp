#include "desktop/HoverPointer.h"

#include "base/WindowPointer.h"

#include <QMouseEvent>
#include <QWidget>

HoverPointer::HoverPointer(WindowPointer& pointer, const Targets& targets, QObject* parent)
    : QObject(parent)
    , m_pointer(pointer)
{
    for (QWidget* area : targets.areas)
        watch(area, MousePointer::Default, true);
    for (QWidget* box : targets.boxes)
        watch(box, MousePointer::Default, false);
    watch(targets.list, MousePointer::Default, false);
    for (QWidget* part : targets.list->findChildren<QWidget*>())
        watch(part, MousePointer::Default, false);
    for (QWidget* button : targets.buttons)
        watch(button, MousePointer::Custom, false);
}

void HoverPointer::watch(QWidget* widget, MousePointer pointer, bool onlyOwnArea)
{
    m_targets.insert(widget, { pointer, onlyOwnArea });
    // Moves without a pressed button reach only widgets that track the mouse.
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
}

bool HoverPointer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseMove)
        return false;
    const auto target = m_targets.constFind(watched);
    if (target == m_targets.cend() || m_pointer.isBusy())
        return false;
    // A move over a control without tracking travels on to its frame; the frame's rule is not meant
    // for it.
    if (target->onlyOwnArea) {
        const auto* widget = static_cast<QWidget*>(watched);
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (widget->childAt(at))
            return false;
    }
    if (m_pointer.current() != target->pointer)
        m_pointer.set(target->pointer);
    return false;
}
