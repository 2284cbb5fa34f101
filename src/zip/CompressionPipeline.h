#pragma once

#include "zip/DeflateWorker.h"
#include "zip/SourceFile.h"
#include "zip/ZipExpand.h"
#include "zip/ZipReuse.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Compresses the files of an archive on a few worker threads, ahead of the single writer that
// takes the finished pieces in entry order. The input bytes and the number of pieces not yet
// written are bounded, and files are planned only as the work reaches them, so memory stays flat
// whatever the number of files or their size.
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
    // The entry the writer read last, once it was read whole: how it went, and what the file
    // looked like when its reading began.
    const EntryOutcome& outcome() const { return m_reading->outcome; }
    const SourceRead& sourceRead() const { return m_reading->read; }

private:
    struct FileState;
    struct Piece
    {
        FileState* state = nullptr; // the file it belongs to
        std::int64_t offset = 0;
        std::int64_t length = 0; // bytes planned
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

    // Per file: a descriptor, Unopened, or Failed (with the reason in openFailure).
    static constexpr int Unopened = -1;
    static constexpr int Failed = -2;
    // What is known of one file from the planning of its pieces until the writer is past it.
    struct FileState
    {
        const ZipItem* item = nullptr;
        std::size_t firstPiece = 0; // counted from the first piece of all
        std::size_t endPiece = 0; // one past its last piece
        int fd = Unopened;
        std::unique_ptr<SourceFile> openFailure;
        SourceRead read;
        EntryOutcome outcome;
    };

    void work();
    // Under m_mutex: plans the pieces of further files until the piece numbered `piece` exists,
    // or there are no more files. Only files near the writer's position are ever planned, so the
    // window of files in flight stays small whatever the number of files.
    bool planUpTo(std::size_t piece);
    Piece& pieceAt(std::size_t piece) { return m_pieces[piece - m_firstHeld]; }
    bool mayTake();
    void processOrFail(class DeflateWorker& deflater, Piece& piece, std::vector<std::uint8_t>& input);
    void process(class DeflateWorker& deflater, Piece& piece, std::vector<std::uint8_t>& input);
    int descriptorOf(FileState& file, const SourceFile*& failure);
    void closeSource(FileState& file);
    // True when the file, still open, looks as it did when its reading began, at the size planned.
    bool readWhole(FileState& file);
    Piece* waitReady(std::size_t piece);
    // Frees the oldest piece held, once the writer is done with it.
    void releaseOldest();
    // The writer moves on to the file: false when cancelled on the way.
    bool enterFile(int file);

    // A worker takes up to so many small pieces at once, with one hand-off for them all.
    static constexpr std::size_t MaxBatch = 32;
    static constexpr std::int64_t BatchBytes = 256 << 10;

    const std::vector<ZipItem>& m_items;
    const std::vector<int>& m_files;
    Settings m_settings;
    std::function<bool()> m_cancelled;
    ChangeTimeTrust& m_trust;

    // Guards the window below and the flags of its pieces. A deque keeps its elements in place as
    // it grows at the back and shrinks at the front, so a worker holds its piece without the lock.
    std::mutex m_mutex;
    std::condition_variable m_workCondition;
    std::condition_variable m_readyCondition;
    std::deque<Piece> m_pieces; // planned and not yet released
    std::deque<FileState> m_window; // files planned, from the one the writer reads on
    std::size_t m_firstHeld = 0; // the number of m_pieces.front(): the pieces released so far
    std::size_t m_firstFile = 0; // the number of m_window.front()
    std::size_t m_plannedFiles = 0;
    std::size_t m_next = 0; // the next piece a worker takes
    std::int64_t m_inFlight = 0;
    bool m_stopping = false;
    std::mutex m_openMutex; // opening and closing files
    std::vector<std::thread> m_threads;

    // Writer position.
    int m_readFile = -1;
    FileState* m_reading = nullptr;
    std::size_t m_readPiece = 0;
    std::size_t m_readOffset = 0;
    bool m_streamEnded = false;
};
