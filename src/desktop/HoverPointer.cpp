#include "desktop/HoverPointer.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>

HoverPointer::HoverPointer(Form1& form, QObject* parent)
    : QObject(parent)
    , m_form(form)
{
    using P = Form1::MousePointer;
    watch(&form, P::Default, true);
    for (QGroupBox* frame : {form.Frame1, form.Frame2, form.Frame3, form.Frame4})
        watch(frame, P::Default, true);
    for (QLineEdit* box : {form.Text1, form.Text5})
        watch(box, P::Default, false);
    // The list as a whole: its rows, its header, its scroll bars and its frame.
    watch(form.ListView2, P::Default, false);
    for (QWidget* part : form.ListView2->findChildren<QWidget*>())
        watch(part, P::Default, false);
    for (QPushButton* button : {form.PushButton1, form.PushButton2, form.PushButton3, form.PushButton4,
                                form.PushButton5, form.PushButton6, form.PushButton7, form.PushButton8,
                                form.PushButton9, form.PushButton11, form.PushButton12})
        watch(button, P::Custom, false);
}

void HoverPointer::watch(QWidget* widget, Form1::MousePointer pointer, bool onlyOwnArea)
{
    m_targets.insert(widget, {pointer, onlyOwnArea});
    // Moves without a pressed button reach only widgets that track the mouse.
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
}

bool HoverPointer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseMove)
        return false;
    const auto target = m_targets.constFind(watched);
    if (target == m_targets.cend() || m_form.isBusy())
        return false;
    // A move over a control without tracking travels on to its frame; the frame's rule is not meant
    // for it.
    if (target->onlyOwnArea) {
        const auto* widget = static_cast<QWidget*>(watched);
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (widget->childAt(at))
            return false;
    }
    if (m_form.mousePointer() != target->pointer)
        m_form.setMousePointer(target->pointer);
    return false;
}
