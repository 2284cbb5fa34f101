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
    , m_trust(trust)
{
    m_settings.threads = std::max(1, m_settings.threads);
    m_settings.budget = std::max(m_settings.budget, std::max(m_settings.wholeFileLimit, m_settings.pieceSize));
}

CompressionPipeline::~CompressionPipeline()
{
    stop();
    for (FileState& file : m_window)
        closeSource(file);
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

bool CompressionPipeline::planUpTo(std::size_t piece)
{
    while (m_firstHeld + m_pieces.size() <= piece) {
        if (m_plannedFiles >= m_files.size())
            return false;
        FileState& file = m_window.emplace_back();
        file.item = &m_items[static_cast<std::size_t>(m_files[m_plannedFiles++])];
        file.firstPiece = m_firstHeld + m_pieces.size();
        const std::int64_t size = file.item->size;
        const bool whole = size <= m_settings.wholeFileLimit;
        const std::int64_t step = whole ? std::max<std::int64_t>(size, 1) : m_settings.pieceSize;
        for (std::int64_t offset = 0; offset == 0 || offset < size; offset += step) {
            Piece& planned = m_pieces.emplace_back();
            planned.state = &file;
            planned.offset = offset;
            planned.length = std::min(step, size - offset);
            planned.lastPlanned = offset + step >= size;
            planned.cost = whole ? step : planned.length;
        }
        file.endPiece = m_firstHeld + m_pieces.size();
    }
    return true;
}

bool CompressionPipeline::mayTake()
{
    // Pieces are taken in order, each when its input fits the budget and the count of pieces held
    // stays small (it bounds the files held open); the writer frees both in the same order, so the
    // oldest piece always gets its turn.
    return m_inFlight == 0
        || (m_inFlight + pieceAt(m_next).cost <= m_settings.budget && m_next - m_firstHeld < m_settings.piecesInFlight);
}

int CompressionPipeline::descriptorOf(FileState& file, const SourceFile*& failure)
{
    std::lock_guard lock(m_openMutex);
    if (file.fd == Unopened) {
        SourceFile source = OpenSourceFile(*file.item);
        file.fd = source.fd >= 0 ? source.fd : Failed;
        if (file.fd >= 0)
            file.read = { source.evidence, source.readStartNs, m_trust.trusted(file.fd, source.device) };
        else
            file.openFailure = std::make_unique<SourceFile>(std::move(source));
    }
    if (file.fd == Failed)
        failure = file.openFailure.get();
    return file.fd;
}

void CompressionPipeline::closeSource(FileState& file)
{
    std::lock_guard lock(m_openMutex);
    if (file.fd >= 0)
        ::close(file.fd);
    file.fd = Failed;
}

bool CompressionPipeline::readWhole(FileState& file)
{
    std::lock_guard lock(m_openMutex);
    // A file whose size is not the one the walk saw was read to another length than its own.
    return file.fd < 0
        || (StillAsOpened(file.fd, file.read.evidence)
            && file.read.evidence.size == static_cast<std::uint64_t>(file.item->size));
}

void CompressionPipeline::work()
{
    DeflateWorker deflater(m_settings.level);
    std::vector<std::uint8_t> input;
    std::vector<Piece*> batch;
    for (;;) {
        batch.clear();
        {
            std::unique_lock lock(m_mutex);
            m_workCondition.wait(lock, [this] { return m_stopping || !planUpTo(m_next) || mayTake(); });
            if (m_stopping || !planUpTo(m_next))
                return;
            // Small pieces go in runs, with one hand-off each way per run rather than per file.
            std::int64_t batchCost = 0;
            do {
                Piece& piece = pieceAt(m_next++);
                m_inFlight += piece.cost;
                batchCost += piece.cost;
                batch.push_back(&piece);
            } while (batch.size() < MaxBatch && batchCost < BatchBytes && planUpTo(m_next)
                     && pieceAt(m_next).cost < BatchBytes && mayTake());
        }
        for (Piece* piece : batch)
            processOrFail(deflater, *piece, input);
        {
            std::lock_guard lock(m_mutex);
            for (Piece* piece : batch)
                piece->ready = true;
        }
        m_readyCondition.notify_all();
    }
}

void CompressionPipeline::processOrFail(DeflateWorker& deflater, Piece& piece, std::vector<std::uint8_t>& input)
{
    if (m_cancelled()) {
        AppendEmptyFinalBlock(piece.out);
        piece.endsStream = true;
        piece.failed = true;
        piece.error = QStringLiteral("cancelled");
        return;
    }
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

void CompressionPipeline::process(DeflateWorker& deflater, Piece& piece, std::vector<std::uint8_t>& input)
{
    const ZipItem& item = *piece.state->item;
    input.resize(static_cast<std::size_t>(piece.length));
    const SourceFile* failure = nullptr;
    const int fd = descriptorOf(*piece.state, failure);
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

CompressionPipeline::Piece* CompressionPipeline::waitReady(std::size_t number)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        Piece& piece = pieceAt(number);
        if (piece.ready)
            return &piece;
        if (m_stopping)
            return nullptr;
        m_readyCondition.wait_for(lock, std::chrono::milliseconds(50));
        if (m_cancelled())
            return nullptr;
    }
}

void CompressionPipeline::releaseOldest()
{
    Piece& piece = m_pieces.front();
    FileState& file = *piece.state;
    // Every piece before it was released: no worker reads the file any more.
    if (m_firstHeld + 1 == file.endPiece) {
        if (!readWhole(file))
            file.outcome.changed = true;
        closeSource(file);
    }
    {
        std::lock_guard lock(m_mutex);
        m_inFlight -= piece.cost;
        m_pieces.pop_front();
        ++m_firstHeld;
    }
    m_workCondition.notify_all();
}

bool CompressionPipeline::enterFile(int file)
{
    const auto number = static_cast<std::size_t>(file);
    {
        std::lock_guard lock(m_mutex);
        while (m_plannedFiles <= number)
            planUpTo(m_firstHeld + m_pieces.size());
        m_reading = &m_window[number - m_firstFile];
    }
    // Pieces of files the writer passed over are let go, so the workers never wait on them.
    for (; m_readPiece < m_reading->firstPiece; ++m_readPiece) {
        if (!waitReady(m_readPiece))
            return false;
        releaseOldest();
    }
    std::lock_guard lock(m_mutex);
    for (; m_firstFile < number; ++m_firstFile)
        m_window.pop_front();
    m_readFile = file;
    m_readOffset = 0;
    m_streamEnded = false;
    return true;
}

std::int64_t CompressionPipeline::read(int file, std::uint8_t* buffer, std::int64_t capacity)
{
    if (file != m_readFile && !enterFile(file))
        return -1;
    EntryOutcome& outcome = m_reading->outcome;
    std::int64_t copied = 0;
    while (copied < capacity && m_readPiece < m_reading->endPiece) {
        Piece* piece = waitReady(m_readPiece);
        if (!piece)
            return -1;
        if (m_streamEnded) {
            // The file came to its end early; pieces planned beyond it are dropped.
            ++m_readPiece;
            releaseOldest();
            continue;
        }
        if (m_readOffset == 0) {
            outcome.crc = Crc32Combine(outcome.crc, piece->crc, static_cast<std::uint64_t>(piece->readBytes));
            outcome.size += piece->readBytes;
            if (piece->failed) {
                outcome.failed = true;
                outcome.error = piece->error;
                outcome.reason = piece->reason;
                outcome.vanished = piece->vanished;
                outcome.notAFile = piece->notAFile;
            }
        }
        const std::size_t left = piece->out.size() - m_readOffset;
        const std::size_t n = std::min<std::size_t>(left, static_cast<std::size_t>(capacity - copied));
        std::memcpy(buffer + copied, piece->out.data() + m_readOffset, n);
        m_readOffset += n;
        copied += static_cast<std::int64_t>(n);
        outcome.compressedSize += static_cast<std::int64_t>(n);
        if (m_readOffset == piece->out.size()) {
            outcome.pieces.push_back({ static_cast<std::int64_t>(piece->out.size()), piece->readBytes });
            m_streamEnded = piece->endsStream;
            m_readOffset = 0;
            ++m_readPiece;
            releaseOldest();
        }
    }
    return copied;
}
