// Writes the fuzz targets' seed corpora from real archives made by the program's own zip engine:
//   fuzzseeds <corpus folder>
// A folder with the kinds of files backups meet is archived twice (the second time reusing the
// first archive's data), with the seed key; the archives, their deflate streams, their records
// and their names become the seeds.
#include "FuzzSupport.h"
#include "base/NativePath.h"
#include "zip/RecordKey.h"
#include "zip/ZipDirectory.h"
#include "zip/ZipEngine.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    Fuzz::WriteFile(path, reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                    static_cast<std::size_t>(bytes.size()));
}

QByteArray words(int count, quint32 seed)
{
    static const char* const vocabulary[] = { "backup", "folder", "archive", "the", "of", "notes", "2021", "and" };
    QRandomGenerator random(seed);
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += QByteArray(vocabulary[random.bounded(8)]) + (i % 12 == 11 ? "\n" : " ");
    return text;
}

QByteArray noise(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(5);
    for (char& byte : bytes)
        byte = static_cast<char>(random.generate());
    return bytes;
}

// The folder a backup meets: text small and large, an empty file, incompressible data, a
// sub-folder, names in UTF-8, in raw bytes and with a backslash.
void makeFolder(const QString& docs)
{
    writeFile(docs + QStringLiteral("/notes.txt"), words(300, 1));
    writeFile(docs + QStringLiteral("/report.txt"), words(12000, 2));
    writeFile(docs + QStringLiteral("/empty.txt"), {});
    writeFile(docs + QStringLiteral("/photo.jpg"), noise(6000));
    writeFile(docs + QStringLiteral("/Sub/deep.txt"), words(40, 3));
    writeFile(docs
                  + QString::fromUtf8("/\xc3\x9c"
                                      "bung.txt"),
              words(20, 4));
    writeFile(docs + PathFromNative("/caf\xe9.txt"), words(20, 5));
    writeFile(docs + QStringLiteral("/x\\..\\y.txt"), words(20, 6));
}

void archive(const QString& root, const QString& target)
{
    ZipJob job;
    job.archivePath = target;
    job.rootDirectory = root;
    job.names = { QStringLiteral("home/ann/Docs/*.*"), QStringLiteral("home/ann/Docs/Sub/*.*") };
    const std::int32_t code = RunZipJob(job, [](const QString& line) { std::fputs(qPrintable(line), stderr); });
    Fuzz::Require(code == ZipCode::Ok, "the seed archive is written");
}

class Seeds
{
public:
    explicit Seeds(const QString& corpus)
        : m_corpus(corpus)
    { }

    // Each seed once.
    void add(const char* target, const QByteArray& bytes)
    {
        QList<QByteArray>& seeds = m_seeds[QLatin1String(target)];
        if (seeds.contains(bytes))
            return;
        seeds.append(bytes);
        writeFile(QStringLiteral("%1/%2/seed-%3")
                      .arg(m_corpus, QLatin1String(target))
                      .arg(seeds.size(), 2, 10, QLatin1Char('0')),
                  bytes);
    }

    // The archive whole, and its streams, records and names.
    void addArchive(const QString& path)
    {
        QFile file(path);
        Fuzz::Require(file.open(QIODevice::ReadOnly), "the seed archive can be read");
        add("FuzzCentralDirectory", file.readAll());
        const int fd = ::open(NativePath(path).constData(), O_RDONLY | O_CLOEXEC);
        CentralDirectory directory;
        Fuzz::Require(ReadCentralDirectory(fd, directory), "the seed archive has a directory");
        for (const CentralEntry& entry : directory.entries) {
            QByteArray name;
            name.append(char(0)).append(char(entry.name.size() & 0xFF)).append(char(entry.name.size() >> 8));
            add("FuzzEntryRecord", name + entry.name + entry.extra);
            add("FuzzEntryName", entry.name);
            std::uint64_t dataOffset = 0;
            QByteArray header;
            if (entry.method != 8 || !LocateEntryData(fd, directory, entry, dataOffset, header))
                continue;
            QByteArray stream(static_cast<qsizetype>(entry.compressedSize), Qt::Uninitialized);
            Fuzz::Require(
                ::pread(fd, stream.data(), static_cast<std::size_t>(stream.size()), static_cast<off_t>(dataOffset))
                    == stream.size(),
                "the seed stream can be read");
            add("FuzzDeflateWalk", stream);
        }
        ::close(fd);
    }

private:
    QString m_corpus;
    QHash<QString, QList<QByteArray>> m_seeds;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: fuzzseeds <corpus folder>\n", stderr);
        return 2;
    }
    const QString corpus = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir temporary;
    qputenv("XDG_CONFIG_HOME", (temporary.path() + QStringLiteral("/config")).toLocal8Bit());
    QDir().mkpath(QFileInfo(RecordKeyPath()).absolutePath());
    writeFile(RecordKeyPath(), Fuzz::SeedKey());

    const QString root = temporary.path() + QStringLiteral("/root");
    const QString docs = root + QStringLiteral("/home/ann/Docs");
    makeFolder(docs);
    const QString first = temporary.path() + QStringLiteral("/Backup Docs.zip");
    archive(root, first);
    writeFile(docs + QStringLiteral("/notes.txt"), words(310, 7));
    // The first archive stays under a second name when the next one takes its place.
    ::link(NativePath(first).constData(), NativePath(temporary.path() + QStringLiteral("/reuse.zip")).constData());
    archive(root, first); // replaces the first, reusing its unchanged data

    Seeds seeds(corpus);
    seeds.addArchive(temporary.path() + QStringLiteral("/reuse.zip"));
    seeds.addArchive(first);
    // Names that must be made safe, and a path with the names its listing holds.
    for (const char* name : { "/etc/passwd", "C:\\Windows\\x", "\\\\host\\share\\x", "a/../../b", "x\\..\\..\\evil",
                              "caf\xe9/\xc0\xaf..\xc0\xaf" }) {
        seeds.add("FuzzEntryName", QByteArray(name));
    }
    static const char listed[] = "/home/ann/Docs\0Sub\0..\\up\0C:x";
    seeds.add("FuzzEntryName", QByteArray(listed, sizeof listed - 1));
    // QTemporaryDir cannot remove a name that is not valid UTF-8.
    ::unlink(NativePath(docs + PathFromNative("/caf\xe9.txt")).constData());
    return 0;
}
