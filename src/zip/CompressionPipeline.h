#pragma once

#include "zip/DeflateWorker.h"
#include "zip/SourceFile.h"
#include "zip/ZipExpand.h"
#include "zip/ZipReuse.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Compresses the files of an archive on a few worker threads, ahead of the single writer that
// takes the finished pieces in entry order. The input bytes of pieces not yet written are bounded,
// so memory stays flat whatever the tree or the file size.
class CompressionPipeline final
{
public:
    struct Settings
    {
        int threads = 2;
        int level = 6;
        std::int64_t wholeFileLimit = 4 << 20; // larger files are split into pieces
        std::int64_t pieceSize = 4 << 20;
        std::int64_t budget = 48 << 20; // input bytes of pieces taken but not yet written
        std::size_t piecesInFlight = 256; // and their number, which bounds the files held open
    };

    // What the writer gets for one entry once all its pieces were taken.
    struct EntryOutcome
    {
        std::uint32_t crc = 0;
        std::int64_t size = 0; // bytes read and archived
        std::int64_t compressedSize = 0; // bytes handed to the writer
        bool failed = false; // the file could not be read to its end: drop the entry
        QString error; // the line that says why
        QString reason; // the system's words for it
        bool vanished = false; // the file is gone
        bool notAFile = false; // a FIFO, socket or device took its place
        // The file changed while it was read, or since the walk: what was read may be torn.
        bool changed = false;
        std::vector<DeflatePiece> pieces; // how its data was compressed and joined
    };

    // How a file looked when its reading began.
    struct SourceRead
    {
        FileEvidence evidence;
        std::int64_t readStartNs = 0;
        bool evidenceTrusted = false; // see ChangeTimeTrust
    };

    // Each file is opened when its first piece is taken, and closed once its last one is written.
    CompressionPipeline(const std::vector<ZipItem>& items, const std::vector<int>& files, Settings settings,
                        ChangeTimeTrust& trust, std::function<bool()> cancelled);
    ~CompressionPipeline();
    CompressionPipeline(const CompressionPipeline&) = delete;
    CompressionPipeline& operator=(const CompressionPipeline&) = delete;

    void start();
    // Stops the workers (after a failure or a cancel); pieces not taken are never read.
    void stop();

    // The writer's side, for entry number `file` (an index into `files`), strictly in order.
    // Copies up to `capacity` bytes of compressed data; 0 at the end of the entry, -1 when
    // cancelled.
    std::int64_t read(int file, std::uint8_t* buffer, std::int64_t capacity);
    const EntryOutcome& outcome(int file) const { return m_outcomes[static_cast<std::size_t>(file)]; }
    // Once the entry was read whole: what the file looked like when its reading began.
    const SourceRead& sourceRead(int file) const { return m_reads[static_cast<std::size_t>(file)]; }

private:
    struct Piece
    {
        int file = 0; // index into m_files
        std::int64_t offset = 0;
        std::int64_t length = 0; // bytes planned
        bool whole = false;
        bool lastPlanned = false;
        // Result, filled by a worker.
        std::vector<std::uint8_t> out;
        std::uint32_t crc = 0;
        std::int64_t readBytes = 0;
        bool endsStream = false;
        bool failed = false;
        QString error;
        QString reason;
        bool vanished = false;
        bool notAFile = false;
        bool ready = false;
        std::int64_t cost = 0;
    };

    void work();
    void process(class DeflateWorker& deflater, Piece& piece, std::vector<std::uint8_t>& input);
    int descriptorOf(int file, const SourceFile*& failure);
    void closeSource(int file);
    // True when the file, still open, looks as it did when its reading began, at the size planned.
    bool readWhole(int file);
    bool waitReady(std::size_t index);
    void release(std::size_t index);

    const std::vector<ZipItem>& m_items;
    const std::vector<int>& m_files;
    Settings m_settings;
    std::function<bool()> m_cancelled;
    std::vector<Piece> m_pieces;
    std::vector<std::size_t> m_firstPiece; // per file, plus one past the end
    std::vector<EntryOutcome> m_outcomes;

    // Per file: a descriptor, Unopened, or Failed (with the reason in m_openErrors).
    static constexpr int Unopened = -1;
    static constexpr int Failed = -2;
    std::mutex m_openMutex;
    std::vector<int> m_descriptors;
    std::vector<SourceFile> m_openFailures;
    std::vector<SourceRead> m_reads;
    ChangeTimeTrust& m_trust;

    std::mutex m_mutex;
    std::condition_variable m_workCondition;
    std::condition_variable m_readyCondition;
    std::size_t m_next = 0;
    std::int64_t m_inFlight = 0;
    std::size_t m_released = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;

    // Writer position.
    int m_readFile = -1;
    std::size_t m_readPiece = 0;
    std::size_t m_readOffset = 0;
    bool m_streamEnded = false;
};
