#pragma once

#include "window/MainWindow.h"

#include <QHash>
#include <QObject>

class QWidget;

// The window's pointer follows the mouse: the hand over the push buttons, the arrow over the
// background, the frames, the text boxes and the interval list. The busy pointer is never replaced.
class HoverPointer final : public QObject
{
    Q_OBJECT
public:
    HoverPointer(MainWindow& form, QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Target
    {
        MainWindow::MousePointer pointer;
        // Frames and the window itself count only where none of their controls lies under the
        // mouse; those controls have rules of their own, or none.
        bool onlyOwnArea;
    };
    void watch(QWidget* widget, MainWindow::MousePointer pointer, bool onlyOwnArea);

    MainWindow& m_form;
    QHash<QObject*, Target> m_targets;
};
