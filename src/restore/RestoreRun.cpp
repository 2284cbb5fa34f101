#include "restore/RestoreRun.h"

#include "restore/RestorePath.h"
#include "restore/ShownText.h"
#include "restore/TargetFolder.h"

#include <QFile>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace {

// Files from this size on are handed out first, the largest leading.
constexpr std::uint64_t LargeFile = 1u << 20;

// What new files get where the archive keeps no permission bits: what the process's mask allows.
std::uint32_t defaultPermissions()
{
    static const std::uint32_t permissions = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        std::uint32_t mask = 022;
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.startsWith("Umask:"))
                    mask = line.mid(6).trimmed().toUInt(nullptr, 8);
            }
        }
        return 0666u & ~mask;
    }();
    return permissions;
}

timespec timeOf(std::int64_t nanoseconds)
{
    constexpr std::int64_t perSecond = 1'000'000'000;
    std::int64_t seconds = nanoseconds / perSecond;
    std::int64_t rest = nanoseconds % perSecond;
    if (rest < 0) {
        rest += perSecond;
        --seconds;
    }
    return { static_cast<time_t>(seconds), static_cast<long>(rest) };
}

void setTimes(int fd, std::int64_t mtimeNs)
{
    const timespec times[2] = { timeOf(mtimeNs), timeOf(mtimeNs) };
    ::futimens(fd, times);
}

class Restorer
{
public:
    Restorer(const RestorePlan& plan, ExistingFiles existing, RestoreProgress& progress, const QDateTime& moment)
        : m_plan(plan)
        , m_existing(existing)
        , m_progress(progress)
        , m_moment(moment)
    {
        m_outcome.sources.resize(plan.request.sources.size());
        for (std::size_t i = 0; i < plan.refused.size(); ++i)
            m_outcome.sources[i].problems = plan.refused[i];
    }

    RestoreOutcome run()
    {
        QString error;
        if (!m_target.open(m_plan.request.target, true, error)) {
            m_outcome.failure = error;
            return m_outcome;
        }
        for (std::size_t i = 0; i < m_plan.entries.size(); ++i) {
            if (m_plan.entries[i].facts.kind == EntryFacts::Kind::Folder)
                makeFolder(m_plan.entries[i]);
            else
                m_files.push_back(i);
        }
        // Large files first, the largest leading, so the cores finish together; the small ones
        // after them in the archive's order, which keeps a folder's files together.
        std::stable_sort(m_files.begin(), m_files.end(), [this](std::size_t a, std::size_t b) {
            const auto weight = [this](std::size_t i) {
                const std::uint64_t size = m_plan.entries[i].data.entry.size;
                return size >= LargeFile ? size : 0;
            };
            return weight(a) > weight(b);
        });
        const int threads = std::clamp(QThread::idealThreadCount(), 1, std::max(1, static_cast<int>(m_files.size())));
        std::vector<std::thread> workers;
        for (int i = 1; i < threads; ++i)
            workers.emplace_back([this] { work(); });
        work();
        for (std::thread& worker : workers)
            worker.join();
        finishFolders();
        m_outcome.cancelled = m_progress.cancel && m_outcome.failure.isEmpty();
        return m_outcome;
    }

private:
    void makeFolder(const PlannedEntry& entry)
    {
        QString error;
        if (!m_target.folder(entry.relativePath, true, error).isOpen())
            problem(entry, error);
    }

    // Folders made by this restore get the archive's bits and time, the deepest first: making the
    // files inside them has changed their times.
    void finishFolders()
    {
        const std::set<QByteArray> made = m_target.madeFolders();
        for (auto entry = m_plan.entries.rbegin(); entry != m_plan.entries.rend(); ++entry) {
            if (entry->facts.kind != EntryFacts::Kind::Folder || made.count(entry->relativePath) == 0)
                continue;
            QString error;
            const FileHandle folder = m_target.folder(entry->relativePath, false, error);
            if (!folder.isOpen())
                continue;
            if (entry->facts.permissions)
                ::fchmod(folder.get(), *entry->facts.permissions);
            setTimes(folder.get(), entry->facts.mtimeNs);
        }
    }

    // What one thread keeps from file to file: its buffers, and the folder of the file before.
    struct Worker
    {
        EntryExtractor extractor;
        QByteArray folderPath;
        FileHandle folder;
    };

    void work()
    {
        Worker worker;
        for (std::size_t next = m_next++; next < m_files.size() && !stopping(); next = m_next++)
            restoreFile(m_plan.entries[m_files[next]], worker);
    }

    bool stopping()
    {
        std::lock_guard lock(m_mutex);
        return m_progress.cancel || !m_outcome.failure.isEmpty();
    }

    void restoreFile(const PlannedEntry& entry, Worker& worker)
    {
        if (entry.alreadyThere) {
            restored(entry, {});
            return;
        }
        QString error;
        const QByteArray folderPath = ParentPart(entry.relativePath);
        if (!worker.folder.isOpen() || worker.folderPath != folderPath) {
            worker.folder = m_target.folder(folderPath, true, error);
            worker.folderPath = folderPath;
        }
        if (!worker.folder.isOpen())
            return problem(entry, error);
        PendingFile file(worker.folder.get(), error);
        if (!file.isOpen())
            return problem(entry, error);
        if (const std::optional<DataProblem> trouble
            = worker.extractor.extract(entry.data, file.descriptor(), m_progress.written, m_progress.cancel)) {
            if (trouble->kind == DataProblem::Kind::WriteFailed)
                fail(QStringLiteral("write error: %1: %2").arg(ShownName(entry.relativePath), trouble->text));
            else if (trouble->kind != DataProblem::Kind::Cancelled)
                problem(entry, trouble->text);
            return;
        }
        ::fchmod(file.descriptor(), entry.facts.permissions.value_or(defaultPermissions()));
        setTimes(file.descriptor(), entry.facts.mtimeNs);
        const std::optional<QByteArray> keptAs = file.place(LastPart(entry.relativePath), m_existing, m_moment, error);
        if (!keptAs)
            return problem(entry, error);
        restored(entry, *keptAs);
    }

    void restored(const PlannedEntry& entry, const QByteArray& keptAs)
    {
        std::lock_guard lock(m_mutex);
        SourceOutcome& source = m_outcome.sources[entry.source];
        ++source.restored;
        if (!keptAs.isEmpty())
            ++source.kept;
    }

    void problem(const PlannedEntry& entry, const QString& why)
    {
        std::lock_guard lock(m_mutex);
        m_outcome.sources[entry.source].problems.append(ShownName(entry.relativePath) + QStringLiteral(": ") + why);
    }

    void fail(const QString& failure)
    {
        std::lock_guard lock(m_mutex);
        if (m_outcome.failure.isEmpty())
            m_outcome.failure = failure;
    }

    const RestorePlan& m_plan;
    const ExistingFiles m_existing;
    RestoreProgress& m_progress;
    const QDateTime m_moment;
    TargetFolder m_target;
    std::vector<std::size_t> m_files; // entries that are files, in the order they are handed out
    std::atomic<std::size_t> m_next { 0 };
    std::mutex m_mutex;
    RestoreOutcome m_outcome;
};

} // namespace

RestoreOutcome RunRestore(const RestorePlan& plan, ExistingFiles existing, RestoreProgress& progress,
                          const QDateTime& moment)
{
    return Restorer(plan, existing, progress, moment).run();
}
