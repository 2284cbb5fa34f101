#pragma once

#include "base/MousePointer.h"

#include <QHash>
#include <QList>
#include <QObject>

class QWidget;
class WindowPointer;

// The window's pointer follows the mouse: the hand over the push buttons, the arrow over the
// background, the frames, the text boxes and the interval list. The busy pointer is never replaced.
class HoverPointer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HoverPointer)
public:
    // The widgets the pointer follows.
    struct Targets
    {
        // The window itself and its frames: the arrow only where none of their controls lies under
        // the mouse; those controls have rules of their own, or none.
        QList<QWidget*> areas;
        // The arrow.
        QList<QWidget*> boxes;
        // The arrow over the list as a whole: its rows, its header, its scroll bars and its frame.
        QWidget* list = nullptr;
        // The hand.
        QList<QWidget*> buttons;
    };

    HoverPointer(WindowPointer& pointer, const Targets& targets, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Target
    {
        MousePointer pointer;
        bool onlyOwnArea;
    };
    void watch(QWidget* widget, MousePointer pointer, bool onlyOwnArea);

    WindowPointer& m_pointer;
    QHash<QObject*, Target> m_targets;
};
