#include "restore/RestoreTask.h"

#include "backup/Clock.h"
#include "base/AppError.h"
#include "base/Prompter.h"
#include "history/HistoryLog.h"
#include "restore/RestoreLog.h"
#include "restore/ShownText.h"

#include <QtConcurrent>

namespace {

constexpr qsizetype NamesShown = 12;

// The first names of a list, one a line, and how many more there are.
QString someOf(const QStringList& names)
{
    QString text = names.mid(0, NamesShown).join(u'\n');
    if (names.size() > NamesShown)
        text += QStringLiteral("\n(and %1 more)").arg(names.size() - NamesShown);
    return text;
}

QString files(int count)
{
    return ShownCount(count, "file", "files");
}

} // namespace

RestoreTask::RestoreTask(QObject* parent)
    : QObject(parent)
{
    connect(&m_planning, &QFutureWatcher<void>::finished, this, &RestoreTask::planned);
    connect(&m_restoring, &QFutureWatcher<void>::finished, this, &RestoreTask::restored);
}

RestoreTask::~RestoreTask()
{
    m_progress.cancel = true;
    m_planning.waitForFinished();
    m_restoring.waitForFinished();
}

void RestoreTask::start(RestoreRequest request)
{
    if (m_running)
        return;
    m_running = true;
    m_progress.cancel = false;
    m_progress.written = 0;
    m_plan = std::make_unique<RestorePlan>();
    m_planning.setFuture(QtConcurrent::run([this, request = std::move(request)]() mutable {
        *m_plan = PlanRestore(std::move(request), m_progress.cancel);
    }));
}

void RestoreTask::cancel()
{
    m_progress.cancel = true;
}

int RestoreTask::permille() const
{
    if (!m_plan || m_plan->bytes == 0)
        return 0;
    return static_cast<int>(std::min<std::uint64_t>(1000, m_progress.written * 1000 / m_plan->bytes));
}

void RestoreTask::planned()
{
    if (m_plan->cancelled || m_progress.cancel)
        return end(QStringLiteral("The restore was cancelled before anything was written."), true);
    if (!m_plan->failure.isEmpty() || m_plan->entries.empty()) {
        m_outcome = RestoreOutcome {};
        m_outcome.failure = m_plan->failure;
        for (const QStringList& refused : m_plan->refused)
            m_outcome.sources.push_back({ 0, 0, refused });
        return restored();
    }
    const QStringList differing = m_plan->differing();
    ExistingFiles existing = ExistingFiles::Keep;
    if (!differing.isEmpty()) {
        const bool one = differing.size() == 1;
        const QString question
            = QStringLiteral("%1 in %2 %3 from the backup:\n%4\n\n%5")
                  .arg(files(static_cast<int>(differing.size())), m_plan->request.target,
                       one ? QStringLiteral("differs") : QStringLiteral("differ"), someOf(differing),
                       one ? QStringLiteral("Keep it? Yes keeps it beside the restored file, as \"name (before "
                                            "restore YYYY-MM-DD HH-MM).ext\". No replaces it, and it is lost.")
                           : QStringLiteral("Keep them? Yes keeps each one beside the restored file, as \"name "
                                            "(before restore YYYY-MM-DD HH-MM).ext\". No replaces them, and they "
                                            "are lost."));
        if (Prompter::instance().show(question, ApplicationTitle(), Prompter::Buttons::YesNo, Prompter::Icon::Question)
            == Prompter::Answer::No)
            existing = ExistingFiles::Replace;
    }
    const QDateTime moment = Clock::currentDateTime();
    m_restoring.setFuture(
        QtConcurrent::run([this, existing, moment] { m_outcome = RunRestore(*m_plan, existing, m_progress, moment); }));
}

void RestoreTask::restored()
{
    int restoredFiles = 0;
    int kept = 0;
    QStringList problems;
    for (const SourceOutcome& source : m_outcome.sources) {
        restoredFiles += source.restored;
        kept += source.kept;
        problems += source.problems;
    }
    QString report
        = QStringLiteral("%1 restored to %2.")
              .arg(restoredFiles == 1 ? QStringLiteral("1 file was") : files(restoredFiles) + QStringLiteral(" were"),
                   m_plan->request.target);
    if (kept > 0)
        report += QStringLiteral(" %1 that differed %2 kept beside them as \"... (before restore ...)\".")
                      .arg(files(kept), kept == 1 ? QStringLiteral("is") : QStringLiteral("are"));
    if (m_outcome.cancelled)
        report = QStringLiteral("The restore was cancelled. ") + report;
    if (!m_outcome.failure.isEmpty())
        report = QStringLiteral("The restore stopped: %1. ").arg(m_outcome.failure) + report;
    if (!problems.isEmpty())
        report += QStringLiteral("\n\nThese were not restored:\n") + someOf(problems);
    logOutcome(report);
    end(report, m_outcome.cancelled || !m_outcome.failure.isEmpty() || !problems.isEmpty());
}

// One history entry for every archive the restore took something from or failed to.
void RestoreTask::logOutcome(QString& report)
{
    const QString stoppedBecause = !m_outcome.failure.isEmpty() ? m_outcome.failure
        : m_outcome.cancelled                                   ? QStringLiteral("the restore was cancelled")
                                                                : QString();
    try {
        for (std::size_t i = 0; i < m_outcome.sources.size(); ++i) {
            const SourceOutcome& source = m_outcome.sources[i];
            if (source.restored > 0 || !source.problems.isEmpty() || !stoppedBecause.isEmpty())
                AddToHistory(RestoreEntry(m_plan->request.folderName, m_plan->request.sources[i].archivePath,
                                          m_plan->request.target, source, stoppedBecause, CurrentDateTimeText()));
        }
    } catch (const AppError& error) {
        report += QStringLiteral("\n\nThe history log cannot be written: ") + error.description();
    }
}

void RestoreTask::end(const QString& report, bool trouble)
{
    m_plan.reset();
    m_running = false;
    Q_EMIT finished(report, trouble);
}
