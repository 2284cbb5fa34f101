#include "schedule/ScheduleController.h"

#include "backup/BackupRun.h"
#include "backup/Clock.h"
#include "backup/RunControl.h"
#include "base/AppError.h"
#include "base/ErrorTrap.h"
#include "base/EventYield.h"
#include "base/RoutineNames.h"
#include "base/SettingsStore.h"
#include "base/StatusLine.h"
#include "base/TextRoutines.h"
#include "base/Twips.h"
#include "base/WindowTimer.h"
#include "schedule/CatchUp.h"
#include "schedule/IntervalTable.h"

#include <QCheckBox>
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

ScheduleController::ScheduleController(const ScheduleControls& controls, StatusLine& status,
                                       const BackupChoices& choices, Hooks hooks, QObject* parent)
    : QObject(parent)
    , m_controls(controls)
    , m_status(status)
    , m_choices(choices)
    , m_hooks(std::move(hooks))
    , m_countdown(status,
                  { .starting = m_hooks.starting,
                    .stopped = [this] { return m_controls.countdownTimer->interval() == 0; },
                    .chosenSeconds = [this] { return selectedIntervalSeconds(); },
                    .setProgressMaximum = [this](int seconds) { m_controls.progressBar->setMaximum(seconds); },
                    .setProgressValue = [this](int seconds) { m_controls.progressBar->setValue(seconds); },
                    .statusLineHeld = m_hooks.statusLineHeld,
                    .runBackup = [this] { return RunBackup(m_choices, m_status, true); },
                    .runEnded = [this](const RunOutcome& outcome) { m_hooks.runEnded(outcome, true); },
                    .restarted = [] { CatchUp::NoteCountdownStarted(); } })
    , m_slept(Clock::sleptSinceStart())
{
    // A click, or selecting a row with the keyboard, is a choice. The current row alone is not: the
    // list sets one by itself when it gets the focus. A mouse click reports both signals; handling
    // it twice stores the same position and resets the same count.
    connect(m_controls.intervalList, &QTreeWidget::itemClicked, this, [this] {
        if (!m_hooks.starting() && selectedInterval())
            chooseInterval();
    });
    connect(m_controls.intervalList, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (selectedInterval()) {
            if (!m_hooks.starting())
                chooseInterval();
        } else {
            keepChosenRow();
        }
    });
    connect(m_controls.countdownTimer, &WindowTimer::ticked, this, &ScheduleController::tick);
    connect(m_controls.catchUpBox, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_hooks.starting())
            storeCatchUp(on);
    });
    connect(m_controls.autoBackupButton, &QPushButton::clicked, this, &ScheduleController::toggleAutoBackup);
    connect(m_controls.backupNowButton, &QPushButton::clicked, this, &ScheduleController::backUpNow);
}

void ScheduleController::fillIntervalList()
{
    QTreeWidget* list = m_controls.intervalList;
    list->setHeaderLabels({ QStringLiteral("How often would you like to backup?") });
    list->header()->resizeSection(0, TwipsToPixels(7000));
    for (const Interval& interval : IntervalTable)
        list->addTopLevelItem(new QTreeWidgetItem(QStringList { QString::fromLatin1(interval.label) }));
}

void ScheduleController::selectStoredInterval()
{
    const int position = ToInteger16(SettingsStore::ReadSetting(SettingsKeys::Interval), Routine::WindowLoad);
    QTreeWidgetItem* row = m_controls.intervalList->topLevelItem(position - 1);
    if (!row)
        throw AppError::indexOutOfBounds(Routine::IntervalListItems);
    m_controls.intervalList->setCurrentItem(row);
    m_chosenRow = position - 1;
}

void ScheduleController::applyStoredSwitchState()
{
    const QString state = SettingsStore::ReadSetting(SettingsKeys::AutoBackup);
    if (state == QLatin1String("Off")) {
        m_controls.autoBackupButton->setText(TurnOn);
        m_status.setText(QStringLiteral("Auto Zip And Backup is Turned Off."));
        m_controls.countdownTimer->setInterval(0);
    } else if (state == QLatin1String("On")) {
        m_controls.autoBackupButton->setText(TurnOff);
        m_controls.countdownTimer->setInterval(1000);
    }
}

void ScheduleController::restoreCatchUp()
{
    m_controls.catchUpBox->setChecked(SettingsStore::ReadSetting(SettingsKeys::CatchUp) == QLatin1String("1"));
    catchUp();
}

void ScheduleController::storeCatchUp(bool on)
{
    SettingsStore::WriteSetting(SettingsKeys::CatchUp, on ? QStringLiteral("1") : QStringLiteral("0"));
    // With no moment of the countdown known yet, catching up counts from now.
    if (on)
        CatchUp::NoteCountdownStarted(true);
}

void ScheduleController::catchUp()
{
    if (!m_controls.catchUpBox->isChecked())
        return;
    const std::optional<int> elapsed = CatchUp::ElapsedNow(selectedIntervalSeconds());
    if (elapsed)
        m_countdown.setElapsedSeconds(*elapsed);
    else
        CatchUp::NoteCountdownStarted();
}

void ScheduleController::tick()
{
    // The timer does not tick while the computer sleeps; the clocks say how long it did.
    const qint64 slept = Clock::sleptSinceStart();
    const bool woke = slept - m_slept > 1000;
    m_slept = slept;
    if (woke && !m_hooks.starting()) {
        catchUp();
        m_hooks.woke();
    }
    m_countdown.tick();
}

void ScheduleController::keepChosenRow()
{
    // A click below the rows, or Ctrl on the chosen row, would leave the countdown without an
    // interval: the last choice stays selected.
    QTreeWidgetItem* chosen = m_controls.intervalList->topLevelItem(m_chosenRow);
    if (!chosen)
        return;
    const QSignalBlocker quiet(m_controls.intervalList);
    chosen->setSelected(true);
}

QTreeWidgetItem* ScheduleController::selectedInterval() const
{
    const QList<QTreeWidgetItem*> selected = m_controls.intervalList->selectedItems();
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
        m_chosenRow = m_controls.intervalList->indexOfTopLevelItem(selected);
        SettingsStore::WriteSetting(SettingsKeys::Interval, QString::number(m_chosenRow + 1));
    });
    trap.line(20, [&] { m_countdown.setIntervalSeconds(selectedIntervalSeconds()); });
    trap.line(30, [&] { m_countdown.restart(); });
    trap.line(40, [&] { CatchUp::NoteCountdownStarted(); });
}

void ScheduleController::toggleAutoBackup()
{
    ErrorTrap trap(Routine::ToggleAutoBackup);
    trap.line(10, [&] {
        const QString caption = m_controls.autoBackupButton->text();
        if (caption == TurnOn) {
            m_controls.autoBackupButton->setText(TurnOff);
            m_controls.countdownTimer->setInterval(1000);
            SettingsStore::WriteSetting(SettingsKeys::AutoBackup, QStringLiteral("On"));
        } else if (caption == TurnOff) {
            m_controls.autoBackupButton->setText(TurnOn);
            m_controls.countdownTimer->setInterval(0);
            SettingsStore::WriteSetting(SettingsKeys::AutoBackup, QStringLiteral("Off"));
        }
    });
}

void ScheduleController::backUpNow()
{
    // A click during any run, timed or manual, does nothing.
    if (RunControl::IsRunning())
        return;
    ErrorTrap trap(Routine::BackUpNow);
    std::optional<RunControl::Guard> run;
    run.emplace();
    QString kept;
    trap.line(10, [&] { kept = m_status.text(); });
    trap.line(20, [&] { m_status.setText(QStringLiteral("Zipping and backing up files...")); });
    trap.line(30, [&] { m_hooks.setBusy(true); });
    RunOutcome outcome;
    trap.line(40, [&] { outcome = RunBackup(m_choices, m_status, false); });
    run.reset();
    trap.line(50, [&] { m_hooks.setBusy(false); });
    trap.line(60, [&] {
        m_controls.progressBar->setValue(0);
        m_controls.progressBar->setFormat(QStringLiteral("Progress Bar"));
    });
    trap.line(70, [&] { PauseSeconds(m_resultPause); });
    trap.line(80, [&] { m_status.setText(kept); });
    trap.line(90, [&] { m_hooks.runEnded(outcome, false); });
}
