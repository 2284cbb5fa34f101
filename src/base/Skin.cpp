#include "base/Skin.h"

#include "base/AppError.h"
#include "base/FileRoutines.h"
#include "base/RoutineNames.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

namespace {

void paintButtonFace(QWidget& widget)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

} // namespace

void ApplySkin(QWidget& window)
{
    const QString skinPath = ProgramFolder() + QStringLiteral("/x/o.cjs");
    const QFileInfo skin(skinPath);
    if (!skin.isFile() || skin.isHidden())
        return;

    paintButtonFace(window);
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) || qobject_cast<QGroupBox*>(child)
            || qobject_cast<QLabel*>(child))
            paintButtonFace(*child);
    }

    QFile file(skinPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw AppError(75, Routine::ApplySkin, QStringLiteral("Path/File access error"));
    window.setStyleSheet(QString::fromUtf8(file.readAll()));
}
