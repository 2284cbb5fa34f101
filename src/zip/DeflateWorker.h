#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct libdeflate_compressor;

// Raw deflate made with libdeflate: a whole file in one go, or a large file in pieces compressed
// side by side (so both cores work on one file) and joined into one stream: every piece but the
// last loses its final mark and ends on a byte boundary. Data that does not shrink goes into stored
// blocks, which cost 5 bytes per 64 KiB.
class DeflateWorker final
{
public:
    explicit DeflateWorker(int level);
    ~DeflateWorker();
    DeflateWorker(const DeflateWorker&) = delete;
    DeflateWorker& operator=(const DeflateWorker&) = delete;

    // A complete stream for the whole of data.
    void compressWhole(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out);
    // One piece of a stream: the last piece closes the stream, the others end on a byte boundary.
    void compressPiece(const std::uint8_t* data, std::size_t size, bool last, std::vector<std::uint8_t>& out);

private:
    libdeflate_compressor* m_compressor = nullptr;
    // Room for the worst case, kept between pieces; the result is copied out at its true size,
    // so data waiting for the writer holds no slack.
    std::vector<std::uint8_t> m_scratch;
};

// One stretch of a joined stream that was compressed on its own: it ends on a byte boundary and
// refers to nothing before it, so it can be inflated apart from the rest.
struct DeflatePiece
{
    std::int64_t compressedSize = 0;
    std::int64_t size = 0;
};

// Appends data as stored blocks; the last one closes the stream when final is set.
void AppendStoredBlocks(const std::uint8_t* data, std::size_t size, bool final, std::vector<std::uint8_t>& out);
// The two bytes of an empty closing block.
void AppendEmptyFinalBlock(std::vector<std::uint8_t>& out);
// True when the bytes look like random or already compressed data (order-0 entropy close to 8 bits).
bool LooksIncompressible(const std::uint8_t* data, std::size_t size);
std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size);
std::uint32_t Crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t secondSize);
