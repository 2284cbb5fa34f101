#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct libdeflate_compressor;
struct z_stream_s;

// Raw deflate pieces that join into one stream: a whole file in one go (libdeflate), or a large
// file in pieces compressed side by side, each ending on a byte boundary and primed with the 32 KiB
// before it (zlib), so both cores work on one file. Data that does not shrink goes into stored
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
    // One piece of a stream: data follows dictionary (the bytes just before it, may be empty);
    // the last piece closes the stream, the others end on a byte boundary.
    void compressPiece(const std::uint8_t* dictionary, std::size_t dictionarySize, const std::uint8_t* data,
                       std::size_t size, bool last, std::vector<std::uint8_t>& out);

private:
    int m_level;
    libdeflate_compressor* m_whole = nullptr;
    z_stream_s* m_stream = nullptr;
};

// Appends data as stored blocks; the last one closes the stream when final is set.
void AppendStoredBlocks(const std::uint8_t* data, std::size_t size, bool final, std::vector<std::uint8_t>& out);
// The two bytes of an empty closing block.
void AppendEmptyFinalBlock(std::vector<std::uint8_t>& out);
// True when the bytes look like random or already compressed data (order-0 entropy close to 8 bits).
bool LooksIncompressible(const std::uint8_t* data, std::size_t size);
std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size);
std::uint32_t Crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t secondSize);
