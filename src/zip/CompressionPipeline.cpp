#include "zip/CompressionPipeline.h"

#include "zip/DeflateWorker.h"
#include "zip/SourceFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// The most one read call asks for: a slow or stalled file system answers a large call in many
// slow steps, and a cancel is seen only between calls.
constexpr std::int64_t ReadCallSize = 128 << 10;

// Reads up to `length` bytes at `offset`; returns the count read, or -1 with errorText set (also
// when `cancelled` said so before a call).
std::int64_t readAt(int fd, std::int64_t offset, std::int64_t length, std::uint8_t* buffer, QString& errorText,
                    const std::function<bool()>& cancelled)
{
    std::int64_t done = 0;
    while (done < length) {
        if (cancelled()) {
            errorText = QStringLiteral("cancelled");
            return -1;
        }
        const std::int64_t call = std::min(length - done, ReadCallSize);
        const ssize_t n = ::pread(fd, buffer + done, static_cast<std::size_t>(call), offset + done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            errorText = QString::fromLocal8Bit(std::strerror(errno));
            return -1;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

} // namespace

CompressionPipeline::CompressionPipeline(const std::vector<ZipItem>& items, const std::vector<int>& files,
                                         Settings settings, ChangeTimeTrust& trust, std::function<bool()> cancelled)
    : m_items(items)
    , m_files(files)
    , m_settings(settings)
    , m_cancelled(std::move(cancelled))
    , m_outcomes(files.size())
    , m_descriptors(files.size(), Unopened)
    , m_openFailures(files.size())
    , m_reads(files.size())
    , m_trust(trust)
{
    m_settings.threads = std::max(1, m_settings.threads);
    m_settings.budget = std::max(m_settings.budget, std::max(m_settings.wholeFileLimit, m_settings.pieceSize));
    for (std::size_t f = 0; f < files.size(); ++f) {
        m_firstPiece.push_back(m_pieces.size());
        const ZipItem& item = items[static_cast<std::size_t>(files[f])];
        if (item.size <= m_settings.wholeFileLimit) {
            Piece piece;
            piece.file = static_cast<int>(f);
            piece.length = item.size;
            piece.whole = true;
            piece.lastPlanned = true;
            piece.cost = std::max<std::int64_t>(item.size, 1);
            m_pieces.push_back(std::move(piece));
            continue;
        }
        for (std::int64_t offset = 0; offset < item.size; offset += m_settings.pieceSize) {
            Piece piece;
            piece.file = static_cast<int>(f);
            piece.offset = offset;
            piece.length = std::min<std::int64_t>(m_settings.pieceSize, item.size - offset);
            piece.lastPlanned = offset + piece.length >= item.size;
            piece.cost = piece.length;
            m_pieces.push_back(std::move(piece));
        }
    }
    m_firstPiece.push_back(m_pieces.size());
}

CompressionPipeline::~CompressionPipeline()
{
    stop();
    for (std::size_t f = 0; f < m_descriptors.size(); ++f)
        closeSource(static_cast<int>(f));
}

void CompressionPipeline::start()
{
    for (int i = 0; i < m_settings.threads; ++i)
        m_threads.emplace_back([this] { work(); });
}

void CompressionPipeline::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_workCondition.notify_all();
    m_readyCondition.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
    m_threads.clear();
}

int CompressionPipeline::descriptorOf(int file, const SourceFile*& failure)
{
    const auto f = static_cast<std::size_t>(file);
    std::lock_guard lock(m_openMutex);
    int& fd = m_descriptors[f];
    if (fd == Unopened) {
        SourceFile source = OpenSourceFile(m_items[static_cast<std::size_t>(m_files[f])]);
        fd = source.fd >= 0 ? source.fd : Failed;
        if (fd >= 0)
            m_reads[f] = { source.evidence, source.readStartNs, m_trust.trusted(fd, source.device) };
        else
            m_openFailures[f] = std::move(source);
    }
    if (fd == Failed)
        failure = &m_openFailures[f];
    return fd;
}

void CompressionPipeline::closeSource(int file)
{
    std::lock_guard lock(m_openMutex);
    int& fd = m_descriptors[static_cast<std::size_t>(file)];
    if (fd >= 0)
        ::close(fd);
    fd = Failed;
}

bool CompressionPipeline::readWhole(int file)
{
    const auto f = static_cast<std::size_t>(file);
    std::lock_guard lock(m_openMutex);
    const int fd = m_descriptors[f];
    // A file whose size is not the one the walk saw was read to another length than its own.
    return fd < 0
        || (StillAsOpened(fd, m_reads[f].evidence)
            && m_reads[f].evidence.size
                == static_cast<std::uint64_t>(m_items[static_cast<std::size_t>(m_files[f])].size));
}

void CompressionPipeline::work()
{
    DeflateWorker deflater(m_settings.level);
    std::vector<std::uint8_t> input;
    for (;;) {
        std::size_t index = 0;
        {
            std::unique_lock lock(m_mutex);
            // Pieces are taken in order, each when its input fits the budget and the count of
            // files held open stays small; the writer frees both in the same order, so the oldest
            // piece always gets its turn.
            m_workCondition.wait(lock, [this] {
                return m_stopping || m_next >= m_pieces.size() || m_inFlight == 0
                    || (m_inFlight + m_pieces[m_next].cost <= m_settings.budget
                        && m_next - m_released < m_settings.piecesInFlight);
            });
            if (m_stopping || m_next >= m_pieces.size())
                return;
            index = m_next++;
            m_inFlight += m_pieces[index].cost;
        }
        Piece& piece = m_pieces[index];
        if (m_cancelled()) {
            AppendEmptyFinalBlock(piece.out);
            piece.endsStream = true;
            piece.failed = true;
            piece.error = QStringLiteral("cancelled");
        } else {
            try {
                process(deflater, piece, input);
            } catch (const std::exception& e) {
                // The entry is dropped; its stream is still closed so the archive stays readable.
                piece.out.clear();
                AppendEmptyFinalBlock(piece.out);
                piece.endsStream = true;
                piece.failed = true;
                piece.error = QString::fromLocal8Bit(e.what());
            }
        }
        {
            std::lock_guard lock(m_mutex);
            piece.ready = true;
        }
        m_readyCondition.notify_all();
    }
}

void CompressionPipeline::process(DeflateWorker& deflater, Piece& piece, std::vector<std::uint8_t>& input)
{
    const ZipItem& item = m_items[static_cast<std::size_t>(m_files[static_cast<std::size_t>(piece.file)])];
    input.resize(static_cast<std::size_t>(piece.length));
    const SourceFile* failure = nullptr;
    const int fd = descriptorOf(piece.file, failure);
    std::int64_t got = -1;
    if (fd >= 0) {
        got = readAt(fd, piece.offset, piece.length, input.data(), piece.reason, m_cancelled);
        if (got < 0)
            piece.error = QStringLiteral("could not read: %1: %2").arg(item.path, piece.reason);
    } else {
        piece.error = failure->warning;
        piece.reason = failure->reason;
        piece.vanished = failure->vanished;
        piece.notAFile = failure->notAFile;
    }
    if (got < 0) {
        piece.failed = true;
        piece.endsStream = true;
        AppendEmptyFinalBlock(piece.out);
        return;
    }
    piece.readBytes = got;
    piece.crc = Crc32(0, input.data(), static_cast<std::size_t>(got));
    // A file that became shorter than planned ends with this piece; the writer drops the pieces
    // planned beyond it. Growth after the walk is not read, so sizes and CRC always agree.
    const bool closes = piece.lastPlanned || got < piece.length;
    piece.endsStream = closes;
    deflater.compressPiece(input.data(), static_cast<std::size_t>(got), closes, piece.out);
}

bool CompressionPipeline::waitReady(std::size_t index)
{
    std::unique_lock lock(m_mutex);
    while (!m_pieces[index].ready) {
        if (m_stopping)
            return false;
        m_readyCondition.wait_for(lock, std::chrono::milliseconds(50));
        if (m_cancelled())
            return false;
    }
    return true;
}

void CompressionPipeline::release(std::size_t index)
{
    Piece& piece = m_pieces[index];
    // Every piece before it was released: no worker reads the file any more.
    if (index + 1 == m_firstPiece[static_cast<std::size_t>(piece.file) + 1]) {
        if (!readWhole(piece.file))
            m_outcomes[static_cast<std::size_t>(piece.file)].changed = true;
        closeSource(piece.file);
    }
    {
        std::lock_guard lock(m_mutex);
        m_inFlight -= piece.cost;
        piece.cost = 0;
        ++m_released;
    }
    std::vector<std::uint8_t>().swap(piece.out);
    m_workCondition.notify_all();
}

std::int64_t CompressionPipeline::read(int file, std::uint8_t* buffer, std::int64_t capacity)
{
    if (file != m_readFile) {
        m_readFile = file;
        m_readPiece = m_firstPiece[static_cast<std::size_t>(file)];
        m_readOffset = 0;
        m_streamEnded = false;
        m_outcomes[static_cast<std::size_t>(file)] = EntryOutcome {};
    }
    const std::size_t end = m_firstPiece[static_cast<std::size_t>(file) + 1];
    EntryOutcome& outcome = m_outcomes[static_cast<std::size_t>(file)];
    std::int64_t copied = 0;
    while (copied < capacity && m_readPiece < end) {
        if (!waitReady(m_readPiece))
            return -1;
        Piece& piece = m_pieces[m_readPiece];
        if (m_streamEnded) {
            // The file came to its end early; pieces planned beyond it are dropped.
            release(m_readPiece++);
            continue;
        }
        if (m_readOffset == 0) {
            outcome.crc = Crc32Combine(outcome.crc, piece.crc, static_cast<std::uint64_t>(piece.readBytes));
            outcome.size += piece.readBytes;
            if (piece.failed) {
                outcome.failed = true;
                outcome.error = piece.error;
                outcome.reason = piece.reason;
                outcome.vanished = piece.vanished;
                outcome.notAFile = piece.notAFile;
            }
        }
        const std::size_t left = piece.out.size() - m_readOffset;
        const std::size_t n = std::min<std::size_t>(left, static_cast<std::size_t>(capacity - copied));
        std::memcpy(buffer + copied, piece.out.data() + m_readOffset, n);
        m_readOffset += n;
        copied += static_cast<std::int64_t>(n);
        outcome.compressedSize += static_cast<std::int64_t>(n);
        if (m_readOffset == piece.out.size()) {
            outcome.pieces.push_back({ static_cast<std::int64_t>(piece.out.size()), piece.readBytes });
            m_streamEnded = piece.endsStream;
            m_readOffset = 0;
            release(m_readPiece++);
        }
    }
    return copied;
}
