#include "schedule/ScheduleController.h"

#include "base/AppError.h"
#include "base/ErrorTrap.h"
#include "base/EventYield.h"
#include "window/MainWindow.h"
#include "base/SettingsStore.h"
#include "base/TextRoutines.h"
#include "base/Twips.h"
#include "base/WindowTimer.h"
#include "backup/Clock.h"
#include "backup/BackupRun.h"
#include "backup/RunControl.h"
#include "desktop/FailureNotice.h"
#include "folders/FolderListView.h"
#include "schedule/IntervalTable.h"
#include "base/RoutineNames.h"

#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <optional>

namespace {
const QString TurnOn = QStringLiteral("Turn On Auto Zip And Backup");
const QString TurnOff = QStringLiteral("Turn Off Auto Zip And Backup");
} // namespace

ScheduleController::ScheduleController(MainWindow& form)
    : QObject(&form)
    , m_form(form)
{
    // A click, or selecting a row with the keyboard, is a choice. The current row alone is not: the
    // list sets one by itself when it gets the focus. A mouse click reports both signals; handling
    // it twice stores the same position and resets the same count.
    connect(m_form.controls().intervalList, &QTreeWidget::itemClicked, this, [this] {
        if (!m_form.loading && selectedInterval())
            chooseInterval();
    });
    connect(m_form.controls().intervalList, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (selectedInterval()) {
            if (!m_form.loading)
                chooseInterval();
        } else {
            keepChosenRow();
        }
    });
    connect(m_form.controls().countdownTimer, &WindowTimer::Timer, this, &ScheduleController::onTick);
    connect(m_form.controls().autoBackupButton, &QPushButton::clicked, this, &ScheduleController::toggleAutoBackup);
    connect(m_form.controls().backupNowButton, &QPushButton::clicked, this, &ScheduleController::backUpNow);
}

void ScheduleController::fillIntervalList()
{
    QTreeWidget* list = m_form.controls().intervalList;
    list->setHeaderLabels({ QStringLiteral("How often would you like to backup?") });
    list->header()->resizeSection(0, TwipsToPixels(7000));
    for (const Interval& interval : IntervalTable)
        list->addTopLevelItem(new QTreeWidgetItem(QStringList { QString::fromLatin1(interval.label) }));
}

void ScheduleController::selectStoredInterval()
{
    const int position
        = ToInteger16(SettingsStore::ReadSetting(SettingsKeys::Interval), Routine::WindowLoad);
    QTreeWidgetItem* row = m_form.controls().intervalList->topLevelItem(position - 1);
    if (!row)
        throw AppError::indexOutOfBounds(Routine::IntervalListItems);
    m_form.controls().intervalList->setCurrentItem(row);
    m_chosenRow = position - 1;
}

void ScheduleController::applyStoredSwitchState()
{
    const QString state = SettingsStore::ReadSetting(SettingsKeys::AutoBackup);
    if (state == QLatin1String("Off")) {
        m_form.controls().autoBackupButton->setText(TurnOn);
        m_form.setStatus(QStringLiteral("Auto Zip And Backup is Turned Off."));
        m_form.controls().countdownTimer->setInterval(0);
    } else if (state == QLatin1String("On")) {
        m_form.controls().autoBackupButton->setText(TurnOff);
        m_form.controls().countdownTimer->setInterval(1000);
    }
}

void ScheduleController::keepChosenRow()
{
    // A click below the rows, or Ctrl on the chosen row, would leave the countdown without an
    // interval: the last choice stays selected.
    QTreeWidgetItem* chosen = m_form.controls().intervalList->topLevelItem(m_chosenRow);
    if (!chosen)
        return;
    const QSignalBlocker quiet(m_form.controls().intervalList);
    chosen->setSelected(true);
}

QTreeWidgetItem* ScheduleController::selectedInterval() const
{
    const QList<QTreeWidgetItem*> selected = m_form.controls().intervalList->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

int ScheduleController::selectedIntervalSeconds() const
{
    const QTreeWidgetItem* selected = selectedInterval();
    if (!selected)
        return 0;
    return IntervalSecondsForLabel(selected->text(0));
}

void ScheduleController::chooseInterval()
{
    ErrorTrap trap(Routine::ChooseInterval);
    trap.line(10, [&] {
        QTreeWidgetItem* selected = selectedInterval();
        if (!selected)
            throw AppError::invalidProcedureCall(Routine::IntervalListSelection);
        m_chosenRow = m_form.controls().intervalList->indexOfTopLevelItem(selected);
        SettingsStore::WriteSetting(SettingsKeys::Interval, QString::number(m_chosenRow + 1));
    });
    trap.line(20, [&] { m_form.intervalSeconds = selectedIntervalSeconds(); });
    trap.line(30, [&] { m_form.elapsedSeconds = 0; });
}

void ScheduleController::onTick()
{
    // Ticks that a box's event loop lets through during start-up count for nothing: a run must not
    // start before the naming options and the history log are restored.
    if (m_form.loading)
        return;
    ErrorTrap trap(Routine::CountdownTick);
    bool off = false;
    trap.line(10, [&] {
        if (m_form.controls().countdownTimer->Interval() == 0) {
            m_form.setStatus(QStringLiteral("Auto Zip And Backup is Off."));
            off = true;
        }
    });
    if (off)
        return;
    trap.line(20, [&] { m_form.intervalSeconds = selectedIntervalSeconds(); });
    trap.line(30, [&] { m_form.elapsedSeconds = m_form.elapsedSeconds + 1; });
    // An interval that matches no row counts 0; a bar of 0 to 0 would show a busy animation.
    trap.line(40, [&] {
        if (m_form.intervalSeconds > 0)
            m_form.controls().progressBar->setMaximum(m_form.intervalSeconds);
    });
    trap.line(50, [&] {
        if (m_form.elapsedSeconds <= m_form.intervalSeconds)
            m_form.controls().progressBar->setValue(m_form.elapsedSeconds);
    });
    trap.line(60, [&] {
        if (!m_form.notice().holdsStatusLine())
            m_form.setStatus(QStringLiteral("Next Zip and backup will occur in ")
                             + FormatDuration(static_cast<long long>(m_form.intervalSeconds) - m_form.elapsedSeconds));
    });
    trap.line(70, [&] { YieldToEvents(); });
    if (m_form.elapsedSeconds != m_form.intervalSeconds)
        return;

    // Two runs never build archives at once: one that falls due during another is skipped.
    std::optional<RunControl::Guard> run;
    run.emplace();
    if (!run->owns()) {
        m_form.elapsedSeconds = 0;
        return;
    }
    trap.line(80, [&] { m_form.savedStatus = m_form.status(); });
    trap.line(90, [&] { m_form.setStatus(QStringLiteral("Zip and backup is running in background...")); });
    trap.line(100, [&] { YieldToEvents(); });
    RunOutcome outcome;
    trap.line(110, [&] { outcome = RunBackup(m_form, *m_form.controls().folderList, *m_form.controls().statusFrame, true); });
    run.reset();
    trap.line(120,
              [&] { m_form.setStatus(QStringLiteral("Auto Zip And Backup Complete at ") + CurrentDateTimeText()); });
    trap.line(130, [&] { YieldToEvents(); });
    trap.line(140, [&] { m_form.setStatus(m_form.savedStatus); });
    trap.line(145, [&] { m_form.notice().runEnded(outcome, true); });
    trap.line(150, [&] { m_form.elapsedSeconds = 0; });
}

void ScheduleController::toggleAutoBackup()
{
    ErrorTrap trap(Routine::ToggleAutoBackup);
    trap.line(10, [&] {
        const QString caption = m_form.controls().autoBackupButton->text();
        if (caption == TurnOn) {
            m_form.controls().autoBackupButton->setText(TurnOff);
            m_form.controls().countdownTimer->setInterval(1000);
            SettingsStore::WriteSetting(SettingsKeys::AutoBackup, QStringLiteral("On"));
        } else if (caption == TurnOff) {
            m_form.controls().autoBackupButton->setText(TurnOn);
            m_form.controls().countdownTimer->setInterval(0);
            SettingsStore::WriteSetting(SettingsKeys::AutoBackup, QStringLiteral("Off"));
        }
    });
}

void ScheduleController::backUpNow()
{
    // A click during any run, timed or manual, does nothing.
    if (RunControl::isRunning())
        return;
    ErrorTrap trap(Routine::BackUpNow);
    std::optional<RunControl::Guard> run;
    run.emplace();
    QString kept;
    trap.line(10, [&] { kept = m_form.status(); });
    trap.line(20, [&] { m_form.setStatus(QStringLiteral("Zipping and backing up files...")); });
    trap.line(30, [&] { m_form.setMousePointer(MainWindow::MousePointer::Busy); });
    RunOutcome outcome;
    trap.line(40, [&] { outcome = RunBackup(m_form, *m_form.controls().folderList, *m_form.controls().statusFrame, false); });
    run.reset();
    trap.line(50, [&] { m_form.setMousePointer(MainWindow::MousePointer::Default); });
    trap.line(60, [&] {
        m_form.controls().progressBar->setValue(0);
        m_form.controls().progressBar->setFormat(QStringLiteral("Progress Bar"));
    });
    trap.line(70, [&] { PauseSeconds(m_resultPause); });
    trap.line(80, [&] { m_form.setStatus(kept); });
    trap.line(90, [&] { m_form.notice().runEnded(outcome, false); });
}
