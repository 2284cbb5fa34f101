#include "schedule/ScheduleController.h"

#include "app/AppError.h"
#include "app/ErrorTrap.h"
#include "app/EventYield.h"
#include "app/Form1.h"
#include "app/SettingsStore.h"
#include "app/TextRoutines.h"
#include "app/Twips.h"
#include "app/WindowTimer.h"
#include "backup/Clock.h"
#include "backup/IntervalSave.h"
#include "backup/RunControl.h"
#include "desktop/FailureNotice.h"
#include "folders/FolderListView.h"
#include "schedule/IntervalTable.h"
#include "app/RoutineNames.h"

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

ScheduleController::ScheduleController(Form1& form)
    : QObject(&form)
    , m_form(form)
{
    // A click, or selecting a row with the keyboard, is a choice. The current row alone is not: the
    // list sets one by itself when it gets the focus. A mouse click reports both signals; handling
    // it twice stores the same position and resets the same count.
    connect(m_form.ListView2, &QTreeWidget::itemClicked, this, [this] {
        if (!m_form.IsLoading && selectedInterval())
            ListView2_Click();
    });
    connect(m_form.ListView2, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (selectedInterval()) {
            if (!m_form.IsLoading)
                ListView2_Click();
        } else {
            keepChosenRow();
        }
    });
    connect(m_form.Timer1, &WindowTimer::Timer, this, &ScheduleController::Timer1_Timer);
    connect(m_form.PushButton5, &QPushButton::clicked, this, &ScheduleController::PushButton5_Click);
    connect(m_form.PushButton6, &QPushButton::clicked, this, &ScheduleController::PushButton6_Click);
}

void ScheduleController::fillIntervalList()
{
    QTreeWidget* list = m_form.ListView2;
    list->setHeaderLabels({ QStringLiteral("How often would you like to backup?") });
    list->header()->resizeSection(0, TwipsToPixels(7000));
    for (const Interval& interval : IntervalTable)
        list->addTopLevelItem(new QTreeWidgetItem(QStringList { QString::fromLatin1(interval.label) }));
}

void ScheduleController::selectStoredInterval()
{
    const int position
        = ToInteger16(SettingsStore::ReadSetting(SettingsKeys::OftenIndex), Routine::WindowLoad);
    QTreeWidgetItem* row = m_form.ListView2->topLevelItem(position - 1);
    if (!row)
        throw AppError::indexOutOfBounds(Routine::IntervalListItems);
    m_form.ListView2->setCurrentItem(row);
    m_chosenRow = position - 1;
}

void ScheduleController::applyStoredSwitchState()
{
    const QString state = SettingsStore::ReadSetting(SettingsKeys::StartStopState);
    if (state == QLatin1String("Off")) {
        m_form.PushButton5->setText(TurnOn);
        m_form.setStatus(QStringLiteral("Auto Zip And Backup is Turned Off."));
        m_form.Timer1->setInterval(0);
    } else if (state == QLatin1String("On")) {
        m_form.PushButton5->setText(TurnOff);
        m_form.Timer1->setInterval(1000);
    }
}

void ScheduleController::keepChosenRow()
{
    // A click below the rows, or Ctrl on the chosen row, would leave the countdown without an
    // interval: the last choice stays selected.
    QTreeWidgetItem* chosen = m_form.ListView2->topLevelItem(m_chosenRow);
    if (!chosen)
        return;
    const QSignalBlocker quiet(m_form.ListView2);
    chosen->setSelected(true);
}

QTreeWidgetItem* ScheduleController::selectedInterval() const
{
    const QList<QTreeWidgetItem*> selected = m_form.ListView2->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

int ScheduleController::SelectedIntervalSeconds() const
{
    const QTreeWidgetItem* selected = selectedInterval();
    if (!selected)
        return 0;
    return IntervalSecondsForLabel(selected->text(0));
}

void ScheduleController::ListView2_Click()
{
    ErrorTrap trap(Routine::ChooseInterval);
    trap.line(10, [&] {
        QTreeWidgetItem* selected = selectedInterval();
        if (!selected)
            throw AppError::invalidProcedureCall(Routine::IntervalListSelection);
        m_chosenRow = m_form.ListView2->indexOfTopLevelItem(selected);
        SettingsStore::WriteSetting(SettingsKeys::OftenIndex, QString::number(m_chosenRow + 1));
    });
    trap.line(20, [&] { m_form.IntervalSeconds = SelectedIntervalSeconds(); });
    trap.line(30, [&] { m_form.ElapsedSeconds = 0; });
}

void ScheduleController::Timer1_Timer()
{
    // Ticks that a box's event loop lets through during start-up count for nothing: a run must not
    // start before the naming options and the history log are restored.
    if (m_form.IsLoading)
        return;
    ErrorTrap trap(Routine::CountdownTick);
    bool off = false;
    trap.line(10, [&] {
        if (m_form.Timer1->Interval() == 0) {
            m_form.setStatus(QStringLiteral("Auto Zip And Backup is Off."));
            off = true;
        }
    });
    if (off)
        return;
    trap.line(20, [&] { m_form.IntervalSeconds = SelectedIntervalSeconds(); });
    trap.line(30, [&] { m_form.ElapsedSeconds = m_form.ElapsedSeconds + 1; });
    // An interval that matches no row counts 0; a bar of 0 to 0 would show a busy animation.
    trap.line(40, [&] {
        if (m_form.IntervalSeconds > 0)
            m_form.ProgressBar1->setMaximum(m_form.IntervalSeconds);
    });
    trap.line(50, [&] {
        if (m_form.ElapsedSeconds <= m_form.IntervalSeconds)
            m_form.ProgressBar1->setValue(m_form.ElapsedSeconds);
    });
    trap.line(60, [&] {
        if (!m_form.notice().holdsStatusLine())
            m_form.setStatus(QStringLiteral("Next Zip and backup will occur in ")
                             + FormatDuration(static_cast<long long>(m_form.IntervalSeconds) - m_form.ElapsedSeconds));
    });
    trap.line(70, [&] { YieldToEvents(); });
    if (m_form.ElapsedSeconds != m_form.IntervalSeconds)
        return;

    // Two runs never build archives at once: one that falls due during another is skipped.
    std::optional<RunControl::Guard> run;
    run.emplace();
    if (!run->owns()) {
        m_form.ElapsedSeconds = 0;
        return;
    }
    trap.line(80, [&] { m_form.SavedStatus = m_form.status(); });
    trap.line(90, [&] { m_form.setStatus(QStringLiteral("Zip and backup is running in background...")); });
    trap.line(100, [&] { YieldToEvents(); });
    RunOutcome outcome;
    trap.line(110, [&] { outcome = SaveAll(m_form, *m_form.ListView1, *m_form.Frame1, true); });
    run.reset();
    trap.line(120,
              [&] { m_form.setStatus(QStringLiteral("Auto Zip And Backup Complete at ") + CurrentDateTimeText()); });
    trap.line(130, [&] { YieldToEvents(); });
    trap.line(140, [&] { m_form.setStatus(m_form.SavedStatus); });
    trap.line(145, [&] { m_form.notice().runEnded(outcome, true); });
    trap.line(150, [&] { m_form.ElapsedSeconds = 0; });
}

void ScheduleController::PushButton5_Click()
{
    ErrorTrap trap(Routine::ToggleAutoBackup);
    trap.line(10, [&] {
        const QString caption = m_form.PushButton5->text();
        if (caption == TurnOn) {
            m_form.PushButton5->setText(TurnOff);
            m_form.Timer1->setInterval(1000);
            SettingsStore::WriteSetting(SettingsKeys::StartStopState, QStringLiteral("On"));
        } else if (caption == TurnOff) {
            m_form.PushButton5->setText(TurnOn);
            m_form.Timer1->setInterval(0);
            SettingsStore::WriteSetting(SettingsKeys::StartStopState, QStringLiteral("Off"));
        }
    });
}

void ScheduleController::PushButton6_Click()
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
    trap.line(30, [&] { m_form.setMousePointer(Form1::MousePointer::Busy); });
    RunOutcome outcome;
    trap.line(40, [&] { outcome = SaveAll(m_form, *m_form.ListView1, *m_form.Frame1, false); });
    run.reset();
    trap.line(50, [&] { m_form.setMousePointer(Form1::MousePointer::Default); });
    trap.line(60, [&] {
        m_form.ProgressBar1->setValue(0);
        m_form.ProgressBar1->setFormat(QStringLiteral("Progress Bar"));
    });
    trap.line(70, [&] { PauseSeconds(m_resultPause); });
    trap.line(80, [&] { m_form.setStatus(kept); });
    trap.line(90, [&] { m_form.notice().runEnded(outcome, false); });
}
