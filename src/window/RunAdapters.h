#pragma once

#include "backup/BackupChoices.h"
#include "base/StatusLine.h"

class QGroupBox;
struct MainWindowControls;

// The title of the status frame as the status line.
class StatusFrameLine final : public StatusLine
{
public:
    explicit StatusFrameLine(QGroupBox& frame)
        : m_frame(frame)
    { }
    QString text() const override;
    void setText(const QString& text) override;

private:
    QGroupBox& m_frame;
};

// The window's folder list, backup folder and naming options as a run reads them.
class ControlsBackupChoices final : public BackupChoices
{
public:
    explicit ControlsBackupChoices(const MainWindowControls& controls)
        : m_controls(controls)
    { }
    int folderCount() const override;
    QString folderEntry(int position) const override;
    QString backupFolder() const override;
    QString prefix() const override;
    bool dateStamped() const override;
    bool timeStamped() const override;
    int keepLast() const override;

private:
    const MainWindowControls& m_controls;
};
