#include "window/RunAdapters.h"

#include "folders/FolderListView.h"
#include "window/MainWindow.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>

QString StatusFrameLine::text() const
{
    return m_frame.title();
}

void StatusFrameLine::setText(const QString& text)
{
    m_frame.setTitle(text);
}

int ControlsBackupChoices::folderCount() const
{
    return m_controls.folderList->entryCount();
}

QString ControlsBackupChoices::folderEntry(int position) const
{
    return m_controls.folderList->entryText(position);
}

QString ControlsBackupChoices::backupFolder() const
{
    return m_controls.backupFolderEdit->text();
}

QString ControlsBackupChoices::prefix() const
{
    return m_controls.prefixEdit->text();
}

bool ControlsBackupChoices::dateStamped() const
{
    return m_controls.dateStampBox->checkState() == Qt::Checked;
}

bool ControlsBackupChoices::timeStamped() const
{
    return m_controls.timeStampBox->checkState() == Qt::Checked;
}

int ControlsBackupChoices::keepLast() const
{
    return m_controls.keepLastBox->value();
}
