#include "base/MessageBoxPrompter.h"

#include <QApplication>
#include <QMessageBox>

Prompter::Answer MessageBoxPrompter::show(const QString& text, const QString& title, Buttons buttons, Icon icon)
{
    // Over the window the user is working in, so a box asked for by another window of the
    // program does not bring the owner forward over it.
    QWidget* active = QApplication::activeWindow();
    QMessageBox box(active && active->isWindow() ? active : m_owner.data());
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return Answer::Ok;
}
