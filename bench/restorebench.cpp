// Benchmarks of getting files back:
//   restorebench catalog <folder>   writes 200 archives of 20,000 entries each (as the backup run
//                                   names and records them, 1% of the files changed from one to the
//                                   next) into <folder>/Backups, unless there, then times reading
//                                   them all, reading them again, showing archives' trees and
//                                   searching, and prints the memory the catalog holds
//   restorebench restore <archive> <folder>
//                                   restores every entry of the archive into the folder, as the
//                                   restore window does (plan, then restore on every core)
#include "backup/ArchiveName.h"
#include "backup/BackupChoices.h"
#include "backup/FolderArchives.h"
#include "base/NativePath.h"
#include "restore/ArchiveTreeModel.h"
#include "restore/BackupCatalog.h"
#include "restore/RestorePlan.h"
#include "restore/RestoreRun.h"
#include "zip/DeflateWorker.h"
#include "zip/ZipExpand.h"
#include "zip/ZipReuse.h"
#include "zip/ZipWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int Archives = 200;
constexpr int Files = 20'000;
constexpr int FilesPerFolder = 100;

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

class Choices final : public BackupChoices
{
public:
    explicit Choices(QString folder, QString backups)
        : m_folder(std::move(folder))
        , m_backups(std::move(backups))
    { }
    int folderCount() const override { return 1; }
    QString folderEntry(int) const override { return m_folder; }
    QString backupFolder() const override { return m_backups; }
    QString prefix() const override { return QStringLiteral("Backup"); }
    bool dateStamped() const override { return true; }
    bool timeStamped() const override { return true; }
    int keepLast() const override { return 0; }

private:
    QString m_folder;
    QString m_backups;
};

// The archive of backup k: the same tree each time, a file changed wherever the rule says so.
void writeArchive(const QString& path, const QByteArray& root, int k, std::vector<int>& versions)
{
    const int fd = ::open(NativePath(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ZipWriter writer(fd);
    // Every file entry carries a record as a backup run writes it, signed with a key of the benchmark's.
    MessageTagger tagger(QByteArrayLiteral("restore benchmark key"));
    const std::int64_t when = 1'700'000'000 + k * 900;
    for (int i = 0; i < Files; ++i) {
        const QByteArray folder = root + "dir" + QByteArray::number(i / FilesPerFolder / 10) + "/sub"
            + QByteArray::number(i / FilesPerFolder % 10) + '/';
        if (i % FilesPerFolder == 0)
            writer.beginEntry({ folder, 0, true, DosDateTime(when), (040755u << 16) | 0x10, 0, {} });
        if (k > 0 && (i * 7919 + k * 104729) % 100 == 0)
            ++versions[static_cast<std::size_t>(i)];
        const QByteArray data = "file " + QByteArray::number(i) + " version "
            + QByteArray::number(versions[static_cast<std::size_t>(i)]) + '\n';
        std::vector<std::uint8_t> deflated;
        AppendStoredBlocks(reinterpret_cast<const std::uint8_t*>(data.constData()),
                           static_cast<std::size_t>(data.size()), true, deflated);
        const std::int64_t mtime = 1'690'000'000 + versions[static_cast<std::size_t>(i)] * 3600;
        const std::uint32_t crc
            = Crc32(0, reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size()));
        const QByteArray name = folder + "report " + QByteArray::number(i) + ".txt";
        writer.beginEntry(
            { name, 0, false, DosDateTime(mtime), 0100644u << 16, static_cast<std::uint64_t>(data.size()), {} });
        writer.write(deflated.data(), deflated.size());
        EntryRecord record;
        record.evidence = { static_cast<std::uint64_t>(data.size()), mtime * 1'000'000'000, mtime * 1'000'000'000,
                            static_cast<std::uint64_t>(i) };
        record.crc = crc;
        record.compressedSize = deflated.size();
        record.dataCrc = Crc32(0, deflated.data(), deflated.size());
        writer.endEntry(crc, deflated.size(), static_cast<std::uint64_t>(data.size()), record.field(name, tagger));
    }
    writer.finish();
    ::close(fd);
}

template<class Step> double milliseconds(Step step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

template<class Step> double medianMilliseconds(int runs, Step step)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(milliseconds(step));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

long statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(std::strlen(field))).trimmed().split(' ').front().toLong();
    }
    return 0;
}

int catalog(const QString& base)
{
    const QString folder = base + QStringLiteral("/Docs");
    const QString backups = base + QStringLiteral("/Backups");
    const QByteArray root = NativePath(StoredName(folder)) + '/';
    QDir().mkpath(backups);
    const Choices choices(folder, backups);
    if (ArchivesOfListedFolder(choices, 1).size() < Archives) {
        std::vector<int> versions(Files, 0);
        const QDateTime start(QDate(2024, 1, 1), QTime(0, 0));
        for (int k = 0; k < Archives; ++k) {
            const QDateTime moment = start.addSecs(k * 900);
            writeArchive(ArchivePath(backups,
                                     ArchiveBaseName(QStringLiteral("Backup"), DateStamp(moment), TimeStamp(moment),
                                                     QStringLiteral("Docs")),
                                     u'/'),
                         root, k, versions);
        }
    }
    const long baseKb = statusKb("VmRSS:");
    BackupCatalog catalog;
    QStringList archives;
    const auto never = [] { return false; };
    const double first = milliseconds([&] {
        archives = ArchivesOfListedFolder(choices, 1);
        catalog.update(archives, root, never);
    });
    std::size_t entries = 0;
    for (const BackupCatalog::Archive& archive : catalog.archives())
        entries += archive.entries.size();
    out() << QStringLiteral("catalog: %1 archives, %2 entries, %3 distinct versions of %4 paths\n")
                 .arg(catalog.archives().size())
                 .arg(entries)
                 .arg(catalog.search(QStringLiteral(".txt")).size())
                 .arg(Files);
    out() << QStringLiteral("first open (archives listed, every directory read; page cache warm): %1 ms\n")
                 .arg(first, 0, 'f', 0);
    out() << QStringLiteral("open again (listed, found unchanged): %1 ms\n")
                 .arg(medianMilliseconds(5, [&] { catalog.isCurrent(ArchivesOfListedFolder(choices, 1)); }), 0, 'f', 1);
    ArchiveTreeModel tree;
    int shown = 0;
    out() << QStringLiteral("an archive's tree of %1 entries: %2 ms\n")
                 .arg(catalog.archives().front().entries.size())
                 .arg(medianMilliseconds(5, [&] { tree.show(&catalog, shown++ % Archives); }), 0, 'f', 1);
    for (const QString& part : { QStringLiteral("report 1234."), QStringLiteral("report 12"), QStringLiteral(".txt"),
                                 QStringLiteral("dir7/sub3/"), QStringLiteral("nothing like it") }) {
        std::size_t found = 0;
        const double time = medianMilliseconds(5, [&] { found = catalog.search(part).size(); });
        out() << QStringLiteral("search \"%1\": %2 versions in %3 ms\n").arg(part).arg(found).arg(time, 0, 'f', 1);
    }
    out() << QStringLiteral("memory: %1 MB held by the catalog, peak resident %2 MB\n")
                 .arg((statusKb("VmRSS:") - baseKb) / 1024.0, 0, 'f', 1)
                 .arg(statusKb("VmHWM:") / 1024.0, 0, 'f', 1);
    return 0;
}

int restore(const QString& archive, const QString& target)
{
    BackupCatalog catalog;
    catalog.update({ archive }, QByteArray(), [] { return false; });
    RestoreSource source { archive, {} };
    for (const std::uint32_t id : catalog.archives().front().entries) {
        const QByteArray& path = catalog.path(catalog.version(id).path);
        source.items.push_back({ catalog.archives().front().root + path, path });
    }
    RestoreProgress progress;
    RestoreOutcome outcome;
    const double time = milliseconds([&] {
        const RestorePlan plan = PlanRestore({ QStringLiteral("bench"), target, { source } }, progress.cancel);
        outcome = RunRestore(plan, ExistingFiles::Keep, progress, QDateTime::currentDateTime());
    });
    out() << QStringLiteral("restored=%1 problems=%2 seconds=%3 bytes=%4\n")
                 .arg(outcome.sources.front().restored)
                 .arg(outcome.sources.front().problems.size() + (outcome.failure.isEmpty() ? 0 : 1))
                 .arg(time / 1000, 0, 'f', 2)
                 .arg(progress.written.load());
    return outcome.sources.front().problems.isEmpty() && outcome.failure.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("catalog"))
        return catalog(QDir(args.at(2)).absolutePath());
    if (args.size() == 4 && args.at(1) == QLatin1String("restore"))
        return restore(QDir(args.at(2)).absolutePath(), QDir(args.at(3)).absolutePath());
    QTextStream(stderr) << "usage: restorebench catalog <folder> | restorebench restore <archive> <folder>\n";
    return 2;
}
