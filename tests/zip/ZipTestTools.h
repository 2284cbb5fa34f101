#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

// What Python's zipfile reader found for one entry after reading it to its end.
struct ReadEntry
{
    bool isDir = false;
    qint64 size = 0;
    QByteArray sha1; // hex
    int flags = 0;
    int method = 0;
    int mode = 0;
};

namespace ZipTestTools {

// A folder passed through a FUSE file system (faultfs.py) that makes reads of named files fail
// with EIO or wait: a failing or slow disk. Unmounted when dropped.
class FaultMount
{
public:
    // options: as faultfs.py takes them ("--eio", "name:from:to", "--slow", "name:seconds").
    FaultMount(const QString& folder, const QString& mountPoint, const QStringList& options);
    ~FaultMount();
    FaultMount(const FaultMount&) = delete;
    FaultMount& operator=(const FaultMount&) = delete;
    bool mounted() const { return m_mounted; }
    // Why the machine cannot mount one, or empty.
    static QString unavailable();

private:
    QString m_mountPoint;
    qint64 m_pid = 0;
    bool m_mounted = false;
};

// Every entry read back by Python's zipfile; empty with *error set when the archive is unreadable.
QMap<QString, ReadEntry> readWithPython(const QString& archive, QString* error);
// `unzip -tq` and `7zz t` accept the archive.
bool unzipAccepts(const QString& archive, QString* output = nullptr);
bool sevenZipAccepts(const QString& archive, QString* output = nullptr);

QByteArray sha1OfFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// Deterministic contents: text that compresses like prose, and bytes that do not compress.
QByteArray textLike(qint64 size, quint32 seed);
QByteArray randomBytes(qint64 size, quint32 seed);

// The temporaries a run of this archive may leave next to it (and other files named after it).
QStringList temporariesOf(const QString& archive);

// Makes the archive from the patterns as the backup run does (ZipFileSet letting window events
// through, nothing else set), stopping once cancelled() says so.
int makeZip(const QString& archive, const QStringList& patterns, QString* message = nullptr,
            std::function<bool()> cancelled = {});

// A test running as root drops the right to read and write any file, so permission failures are
// real for it too.
void dropFileCapabilities();
bool runningAsRoot();

} // namespace ZipTestTools
