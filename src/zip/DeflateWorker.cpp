#include "zip/DeflateWorker.h"

#include "zip/DeflateWalk.h"

#include <array>
#include <cmath>
#include <libdeflate.h>
#include <new>
#include <stdexcept>
#include <zlib.h>

DeflateWorker::DeflateWorker(int level)
    : m_compressor(libdeflate_alloc_compressor(level))
{
    if (!m_compressor)
        throw std::bad_alloc();
}

DeflateWorker::~DeflateWorker()
{
    libdeflate_free_compressor(m_compressor);
}

void DeflateWorker::compressWhole(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out)
{
    compressPiece(data, size, true, out);
}

void DeflateWorker::compressPiece(const std::uint8_t* data, std::size_t size, bool last, std::vector<std::uint8_t>& out)
{
    out.clear();
    if (size == 0 && last) {
        AppendEmptyFinalBlock(out);
        return;
    }
    if (size >= 4096 && LooksIncompressible(data, size)) {
        AppendStoredBlocks(data, size, last, out);
        return;
    }
    m_scratch.resize(libdeflate_deflate_compress_bound(m_compressor, size) + 8);
    const std::size_t written
        = libdeflate_deflate_compress(m_compressor, data, size, m_scratch.data(), m_scratch.size());
    // Stored blocks are never larger than the data plus 5 bytes per 64 KiB.
    const std::size_t storedSize = size + 5 * (size / 65535 + 1);
    if (written == 0 || written + 5 >= storedSize) {
        AppendStoredBlocks(data, size, last, out);
        return;
    }
    out.reserve(written + 8);
    out.assign(m_scratch.begin(), m_scratch.begin() + static_cast<std::ptrdiff_t>(written));
    // A piece that cannot be made joinable (never expected) is stored instead, which is always valid.
    if (!last && !MakeJoinable(out)) {
        out.clear();
        AppendStoredBlocks(data, size, last, out);
    }
}

void AppendStoredBlocks(const std::uint8_t* data, std::size_t size, bool final, std::vector<std::uint8_t>& out)
{
    out.reserve(out.size() + size + 5 * (size / 65535 + 1));
    std::size_t at = 0;
    do {
        const std::size_t length = std::min<std::size_t>(size - at, 65535);
        const bool closing = final && at + length == size;
        // Block header: BFINAL, then type 00, padded to the byte; then LEN and its complement.
        out.push_back(closing ? 1 : 0);
        out.push_back(static_cast<std::uint8_t>(length & 0xff));
        out.push_back(static_cast<std::uint8_t>(length >> 8));
        out.push_back(static_cast<std::uint8_t>(~length & 0xff));
        out.push_back(static_cast<std::uint8_t>((~length >> 8) & 0xff));
        out.insert(out.end(), data + at, data + at + length);
        at += length;
    } while (at < size);
}

void AppendEmptyFinalBlock(std::vector<std::uint8_t>& out)
{
    // BFINAL 1, fixed Huffman codes, end of block at once.
    out.push_back(0x03);
    out.push_back(0x00);
}

bool LooksIncompressible(const std::uint8_t* data, std::size_t size)
{
    // A sample of up to 64 KiB spread over the data is enough to tell random bytes from text.
    std::array<std::uint32_t, 256> counts {};
    constexpr std::size_t sampleBlock = 4096;
    const std::size_t blocks = std::min<std::size_t>(16, size / sampleBlock);
    if (blocks == 0)
        return false;
    const std::size_t stride = size / blocks;
    std::size_t total = 0;
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::uint8_t* p = data + b * stride;
        for (std::size_t i = 0; i < sampleBlock; ++i)
            ++counts[p[i]];
        total += sampleBlock;
    }
    double entropy = 0;
    for (const std::uint32_t count : counts) {
        if (count == 0)
            continue;
        const double p = static_cast<double>(count) / static_cast<double>(total);
        entropy -= p * std::log2(p);
    }
    // Random bytes in a 64 KiB sample measure about 7.997 bits; text is below 5.
    return entropy > 7.97;
}

std::uint32_t Crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size)
{
    return libdeflate_crc32(crc, data, size);
}

std::uint32_t Crc32Combine(std::uint32_t first, std::uint32_t second, std::uint64_t secondSize)
{
    return static_cast<std::uint32_t>(crc32_combine64(first, second, static_cast<z_off64_t>(secondSize)));
}
