#include "ZipTestTools.h"

#include "base/EventYield.h"
#include "zip/ZipFileSet.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/syscall.h>
#endif

namespace ZipTestTools {

namespace {

QString checker()
{
    return qEnvironmentVariable("TESSALY_SOURCE_DIR") + QStringLiteral("/tests/zip/zipcheck.py");
}

bool runTool(const QString& program, const QStringList& args, QString* output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    if (!process.waitForFinished(10 * 60 * 1000))
        return false;
    const QString text = QString::fromLocal8Bit(process.readAll());
    if (output)
        *output = text;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

FaultMount::FaultMount(const QString& folder, const QString& mountPoint, const QStringList& options)
    : m_mountPoint(mountPoint)
{
    QDir().mkpath(mountPoint);
    struct stat before
    {
    };
    ::stat(QFile::encodeName(mountPoint).constData(), &before);
    // Debian's own interpreter, which has fusepy.
    const QString script = qEnvironmentVariable("TESSALY_SOURCE_DIR") + QStringLiteral("/tests/zip/faultfs.py");
    if (!QProcess::startDetached(QStringLiteral("/usr/bin/python3"),
                                 QStringList { script, folder, mountPoint } + options, QString(), &m_pid))
        return;
    for (int i = 0; i < 200 && !m_mounted; ++i) {
        struct stat now
        {
        };
        m_mounted = ::stat(QFile::encodeName(mountPoint).constData(), &now) == 0 && now.st_dev != before.st_dev;
        if (!m_mounted)
            QThread::msleep(50);
    }
}

FaultMount::~FaultMount()
{
    QProcess::execute(QStringLiteral("fusermount3"), { QStringLiteral("-u"), m_mountPoint });
    for (int i = 0; i < 100 && m_pid > 0 && ::kill(static_cast<pid_t>(m_pid), 0) == 0; ++i)
        QThread::msleep(50);
}

QString FaultMount::unavailable()
{
    if (::access("/dev/fuse", R_OK | W_OK) != 0)
        return QStringLiteral("/dev/fuse cannot be used here");
    if (QStandardPaths::findExecutable(QStringLiteral("fusermount3")).isEmpty())
        return QStringLiteral("fusermount3 is missing (Debian package fuse3)");
    return {};
}

QMap<QString, ReadEntry> readWithPython(const QString& archive, QString* error)
{
    QMap<QString, ReadEntry> entries;
    QProcess process;
    process.start(QStringLiteral("python3"), { checker(), archive });
    process.waitForFinished(10 * 60 * 1000);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        if (error)
            *error = QString::fromLocal8Bit(process.readAllStandardError());
        return {};
    }
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QStringList f = line.split(u'\t');
        if (f.size() != 7)
            continue;
        ReadEntry entry;
        entry.isDir = f[1] == QStringLiteral("dir");
        entry.size = f[2].toLongLong();
        entry.sha1 = f[3].toLatin1();
        entry.flags = f[4].toInt();
        entry.method = f[5].toInt();
        entry.mode = f[6].toInt(nullptr, 8);
        entries.insert(f[0], entry);
    }
    if (error)
        error->clear();
    return entries;
}

bool unzipAccepts(const QString& archive, QString* output)
{
    return runTool(QStringLiteral("unzip"), { QStringLiteral("-tq"), archive }, output);
}

bool sevenZipAccepts(const QString& archive, QString* output)
{
    return runTool(QStringLiteral("7zz"), { QStringLiteral("t"), archive }, output);
}

QByteArray sha1OfFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(&file);
    return hash.result().toHex();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray textLike(qint64 size, quint32 seed)
{
    static const char* const words[]
        = { "the",    "backup", "folder", "archive", "of",    "and",  "a",    "zip",  "file",  "ann",
            "report", "2021",   "total",  "line",    "value", "to",   "in",   "is",   "error", "ok",
            "data",   "record", "name",   "size",    "time",  "user", "copy", "saved" };
    QRandomGenerator random(seed);
    QByteArray out;
    out.reserve(size + 16);
    while (out.size() < size) {
        const int count = 4 + static_cast<int>(random.bounded(10));
        for (int i = 0; i < count; ++i) {
            out += words[random.bounded(static_cast<quint32>(std::size(words)))];
            out += i + 1 < count ? ' ' : '\n';
        }
        if (random.bounded(8) == 0)
            out += QByteArray::number(random.bounded(100000)) + ',';
    }
    out.truncate(size);
    return out;
}

QByteArray randomBytes(qint64 size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray out(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        out[i] = static_cast<char>(random.generate() & 0xff);
    return out;
}

QStringList temporariesOf(const QString& archive)
{
    const QFileInfo info(archive);
    QStringList found;
    // Compared as text: a name filter would read "[" in an archive's name as a wildcard.
    QDirIterator it(info.absolutePath(), QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        const QString name = QFileInfo(it.next()).fileName();
        if (name.startsWith(info.fileName() + u'.') || name.startsWith(QStringLiteral(".tessaly-tmp-")))
            found.append(it.filePath());
    }
    return found;
}

int makeZip(const QString& archive, const QStringList& patterns, QString* message, std::function<bool()> cancelled)
{
    ZipFileSet zip;
    zip.setZipFileName(archive);
    zip.setUpdatingZip(false);
    zip.setCancelCheck(std::move(cancelled));
    zip.setEventPump(YieldToEvents);
    for (const QString& pattern : patterns)
        zip.addFile(pattern);
    const int result = zip.makeZipFile();
    if (message)
        *message = zip.lastMessage();
    return result;
}

bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

void dropFileCapabilities()
{
#ifdef Q_OS_LINUX
    if (!runningAsRoot())
        return;
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct data[2] = {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return;
    const quint32 mask = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
    data[0].effective &= ~mask;
    data[0].permitted &= ~mask;
    data[0].inheritable &= ~mask;
    ::syscall(SYS_capset, &header, data);
#endif
}

} // namespace ZipTestTools
