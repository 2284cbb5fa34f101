#include "zip/ZipLibrary.h"

#include "base/EventYield.h"
#include "zip/ZipCancel.h"
#include "zip/ZipEngine.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QMutex>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

QString g_lastZipMessage;
ZipCallbacks g_callbacks;
ZipOptions g_options;

constexpr std::uint32_t PrintBufferSize = 4097;

// Hands printed text to the registered print callback in pieces that fit its buffer.
void printText(const QString& text)
{
    if (!g_callbacks.print || text.isEmpty())
        return;
    const QByteArray bytes = text.toLocal8Bit();
    constexpr qsizetype piece = PrintBufferSize - 1;
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype size = std::min(piece, bytes.size() - at);
        // Never split a multi-byte character between two calls.
        while (at + size < bytes.size() && size > 1 && (static_cast<unsigned char>(bytes.at(at + size)) & 0xC0) == 0x80)
            --size;
        QByteArray buffer = bytes.mid(at, size);
        buffer.append('\0');
        g_callbacks.print(buffer.constData(), static_cast<std::uint32_t>(size));
        at += size;
    }
}

// Lines the engine printed on its own threads, waiting to be handed over on the caller's thread.
class PendingLines final
{
public:
    // Returns true when the caller's thread has to be woken for this line.
    bool add(const QString& line)
    {
        QMutexLocker lock(&m_mutex);
        m_text += line;
        const bool wake = !m_wakePending;
        m_wakePending = true;
        return wake;
    }

    // Hands every waiting line to the print callback, in order. The callback lets window events
    // through, and with them the next wake-up: a hand-over started inside another would put its
    // text in the middle of the other's, splitting a line, so only the outer one runs and it goes
    // on until nothing is left.
    void drain()
    {
        if (m_draining)
            return;
        m_draining = true;
        for (QString text = take(); !text.isEmpty(); text = take())
            printText(text);
        m_draining = false;
    }

private:
    QString take()
    {
        QMutexLocker lock(&m_mutex);
        m_wakePending = false;
        return std::exchange(m_text, QString());
    }

    QMutex m_mutex;
    QString m_text;
    bool m_wakePending = false;
    bool m_draining = false; // touched on the caller's thread only
};

ZipJob jobFrom(std::int32_t entryCount, const QString& zipFileName, const ZipNameList& names)
{
    ZipJob job;
    job.archivePath = zipFileName;
    // Slot 0 is not a file.
    const qsizetype count = std::min<qsizetype>(std::max<std::int32_t>(entryCount, 0), names.size());
    for (qsizetype i = 1; i < count; ++i)
        job.names.append(names.at(i));
    job.rootDirectory = g_options.rootDirectory;
    job.reuseFrom = g_options.reuseFrom;
    job.junkPaths = g_options.junkDirNames != 0;
    job.recurse = g_options.recurse != 0;
    job.update = g_options.update != 0;
    job.freshen = g_options.freshen != 0;
    job.includeHidden = g_options.systemFiles != 0;
    job.noDirEntries = g_options.noDirEntries != 0;
    job.quiet = g_options.quiet != 0;
    return job;
}

// Options the engine does not offer; asking for one fails before anything is touched.
QString unsupportedOption(const ZipOptions& o)
{
    const std::pair<std::int32_t, const char*> options[] = {
        {o.encrypt, "encrypt"},       {o.crlfToLf, "CR LF to LF"}, {o.lfToCrlf, "LF to CR LF"},
        {o.grow, "grow"},             {o.forceDos, "DOS names"},   {o.move, "move"},
        {o.deleteEntries, "delete"},  {o.volumeLabel, "volume label"}, {o.comment, "comment"},
        {o.includeDate, "include by date"}, {o.excludeDate, "exclude by date"}, {o.repair, "repair"},
    };
    for (const auto& [value, name] : options) {
        if (value != 0)
            return QString::fromLatin1(name);
    }
    return {};
}

} // namespace

std::int32_t ZpInit(const ZipCallbacks* callbacks)
{
    g_callbacks = callbacks ? *callbacks : ZipCallbacks{};
    return 1;
}

std::int32_t ZpSetOptions(const ZipOptions* options)
{
    g_options = options ? *options : ZipOptions{};
    return 1;
}

std::int32_t ZpArchive(std::int32_t entryCount, const QString& zipFileName, const ZipNameList& names)
{
    const QString unsupported = unsupportedOption(g_options);
    if (!unsupported.isEmpty()) {
        printText(QStringLiteral("option not supported: %1\n").arg(unsupported));
        return ZipCode::BadArguments;
    }
    const ZipJob job = jobFrom(entryCount, zipFileName, names);

    if (!QCoreApplication::instance()) {
        return RunZipJob(job, [](const QString& line) { printText(line); });
    }

    // The engine works on another thread; this thread waits in a local event loop so window
    // events (clicks, timer ticks, a close request) keep flowing during the whole archive.
    auto pending = std::make_shared<PendingLines>();
    QEventLoop loop;
    QPointer<QEventLoop> context(&loop);
    auto drain = [pending] { pending->drain(); };
    auto sink = [pending, context, drain](const QString& line) {
        if (pending->add(line) && context)
            QMetaObject::invokeMethod(context.data(), drain, Qt::QueuedConnection);
    };
    QFutureWatcher<std::int32_t> watcher;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run([job, sink] { return RunZipJob(job, sink); }));
    if (!watcher.isFinished())
        loop.exec();
    if (!watcher.isFinished()) {
        // The application is quitting (which ends every local loop): abandon the archive, the
        // previous one stays, and wait for the engine to let go of its files.
        RequestZipCancel();
        watcher.waitForFinished();
    }
    drain();
    return watcher.result();
}

std::int32_t CallZipLibrary(std::int32_t entryCount, const QString& zipFileName, const ZipNameList& names,
                            std::int32_t ignorePath, std::int32_t recurse, std::int32_t update,
                            std::int32_t freshen, const QString& rootDirectory, std::int32_t encrypt,
                            std::int32_t systemFiles, std::int32_t noDirEntries, std::int32_t verbose,
                            std::int32_t quiet, std::int32_t crlfToLf, std::int32_t lfToCrlf, std::int32_t grow,
                            std::int32_t forceDos, std::int32_t move, std::int32_t deleteEntries,
                            const QString& reuseFrom)
{
    g_lastZipMessage.clear();

    ZipCallbacks callbacks;
    callbacks.print = &ZipPrintCallback;
    callbacks.password = &ZipPasswordCallback;
    callbacks.comment = &ZipCommentCallback;
    callbacks.service = nullptr;

    ZipOptions options;
    options.encrypt = encrypt;
    options.systemFiles = systemFiles;
    options.noDirEntries = noDirEntries;
    options.verbose = verbose;
    options.quiet = quiet;
    options.crlfToLf = crlfToLf;
    options.lfToCrlf = lfToCrlf;
    options.junkDirNames = ignorePath;
    options.recurse = recurse;
    options.grow = grow;
    options.forceDos = forceDos;
    options.move = move;
    options.deleteEntries = deleteEntries;
    options.update = update;
    options.freshen = freshen;
    options.level = 0;
    options.rootDirectory = rootDirectory;
    options.reuseFrom = reuseFrom;

    ZpInit(&callbacks);
    ZpSetOptions(&options);
    return ZpArchive(entryCount, zipFileName, names);
}

QString LastZipMessage() { return g_lastZipMessage; }

std::int32_t ZipPrintCallback(const char* buffer, std::uint32_t length)
{
    if (buffer) {
        const std::size_t limit = std::min<std::size_t>(static_cast<std::size_t>(length) + 1, PrintBufferSize);
        const void* nul = std::memchr(buffer, '\0', limit);
        const std::size_t size = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : limit;
        g_lastZipMessage += QString::fromLocal8Bit(buffer, static_cast<qsizetype>(size));
    }
    YieldToEvents();
    return 0;
}

std::int32_t ZipPasswordCallback(char*, std::int32_t, const char*, const char*) { return 1; }

QByteArray ZipCommentCallback(const QByteArray& comment) { return comment; }
