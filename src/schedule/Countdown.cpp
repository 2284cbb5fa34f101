#include "schedule/Countdown.h"

#include "backup/Clock.h"
#include "backup/RunControl.h"
#include "base/ErrorTrap.h"
#include "base/EventYield.h"
#include "base/RoutineNames.h"
#include "base/StatusLine.h"
#include "base/TextRoutines.h"

#include <optional>

Countdown::Countdown(StatusLine& status, Hooks hooks)
    : m_status(status)
    , m_hooks(std::move(hooks))
{ }

void Countdown::tick()
{
    // Ticks that a box's event loop lets through during start-up count for nothing: a run must not
    // start before the naming options and the history log are restored.
    if (m_hooks.starting())
        return;
    ErrorTrap trap(Routine::CountdownTick);
    const std::optional<bool> off = trap.value(10, [&] {
        if (!m_hooks.stopped())
            return false;
        m_status.setText(QStringLiteral("Auto Zip And Backup is Off."));
        return true;
    });
    if (off.value_or(false))
        return;
    trap.line(20, [&] { m_intervalSeconds = m_hooks.chosenSeconds(); });
    trap.line(30, [&] { m_elapsedSeconds = m_elapsedSeconds + 1; });
    // An interval that matches no row counts 0; a bar of 0 to 0 would show a busy animation.
    trap.line(40, [&] {
        if (m_intervalSeconds > 0)
            m_hooks.setProgressMaximum(m_intervalSeconds);
    });
    trap.line(50, [&] {
        if (m_elapsedSeconds <= m_intervalSeconds)
            m_hooks.setProgressValue(m_elapsedSeconds);
    });
    trap.line(60, [&] {
        if (!m_hooks.statusLineHeld())
            m_status.setText(QStringLiteral("Next Zip and backup will occur in ")
                             + FormatDuration(static_cast<long long>(m_intervalSeconds) - m_elapsedSeconds));
    });
    trap.line(70, [&] { YieldToEvents(); });
    if (m_elapsedSeconds != m_intervalSeconds)
        return;

    // Two runs never build archives at once: one that falls due during another is skipped.
    std::optional<RunControl::Guard> run;
    run.emplace();
    if (!run->owns()) {
        m_elapsedSeconds = 0;
        m_hooks.restarted();
        return;
    }
    trap.line(80, [&] { m_savedStatus = m_status.text(); });
    trap.line(90, [&] { m_status.setText(QStringLiteral("Zip and backup is running in background...")); });
    trap.line(100, [&] { YieldToEvents(); });
    RunOutcome outcome;
    trap.line(110, [&] { outcome = m_hooks.runBackup(); });
    run.reset();
    trap.line(120,
              [&] { m_status.setText(QStringLiteral("Auto Zip And Backup Complete at ") + CurrentDateTimeText()); });
    trap.line(130, [&] { YieldToEvents(); });
    trap.line(140, [&] { m_status.setText(m_savedStatus); });
    trap.line(145, [&] { m_hooks.runEnded(outcome); });
    trap.line(150, [&] { m_elapsedSeconds = 0; });
    trap.line(160, [&] { m_hooks.restarted(); });
}
