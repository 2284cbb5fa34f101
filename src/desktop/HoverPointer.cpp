#include "desktop/HoverPointer.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>

HoverPointer::HoverPointer(MainWindow& form, QObject* parent)
    : QObject(parent)
    , m_form(form)
{
    using P = MainWindow::MousePointer;
    watch(&form, P::Default, true);
    for (QGroupBox* frame : {form.controls().statusFrame, form.controls().backupFolderFrame, form.controls().optionsFrame, form.controls().fileNameFrame})
        watch(frame, P::Default, true);
    for (QLineEdit* box : {form.controls().prefixEdit, form.controls().backupFolderEdit})
        watch(box, P::Default, false);
    // The list as a whole: its rows, its header, its scroll bars and its frame.
    watch(form.controls().intervalList, P::Default, false);
    for (QWidget* part : form.controls().intervalList->findChildren<QWidget*>())
        watch(part, P::Default, false);
    for (QPushButton* button : {form.controls().chooseBackupFolderButton, form.controls().viewBackupFolderButton, form.controls().viewHistoryButton, form.controls().copyHistoryButton,
                                form.controls().autoBackupButton, form.controls().backupNowButton, form.controls().addFolderButton, form.controls().clearListButton,
                                form.controls().loadSamplesButton, form.controls().helpButton, form.controls().clearHistoryButton})
        watch(button, P::Custom, false);
}

void HoverPointer::watch(QWidget* widget, MainWindow::MousePointer pointer, bool onlyOwnArea)
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
