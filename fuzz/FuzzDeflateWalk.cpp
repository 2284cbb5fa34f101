// The deflate stream walker, on any bytes and on the pieces it joins.
// Any bytes: the walk ends; a stream that zlib inflates whole is walked, and once made joinable
// and closed by an empty final block it still inflates to the same bytes.
// The same bytes as data: cut into pieces, compressed piece by piece at the level the first byte
// picks and joined, they inflate to the data itself.
#include "FuzzSupport.h"
#include "zip/DeflateWalk.h"
#include "zip/DeflateWorker.h"

#include <vector>
#include <zlib.h>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Fuzz::Require;

// Output beyond this is not followed: a few bytes may inflate to gigabytes.
constexpr std::size_t OutputLimit = 1u << 20;

enum class Inflated
{
    Whole, // one stream, ending with the last byte
    Bad,
    TooLarge
};

Inflated inflateAll(const std::uint8_t* data, std::size_t size, Bytes& out, std::size_t limit = OutputLimit)
{
    z_stream z {};
    Require(inflateInit2(&z, -MAX_WBITS) == Z_OK, "zlib starts");
    out.assign(limit, 0);
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    const bool full = z.avail_out == 0;
    inflateEnd(&z);
    if (result == Z_STREAM_END && z.avail_in == 0)
        return Inflated::Whole;
    return full && result != Z_DATA_ERROR ? Inflated::TooLarge : Inflated::Bad;
}

void walkAnyBytes(const std::uint8_t* data, std::size_t size)
{
    DeflateLayout layout;
    const bool walked = WalkDeflate(data, size, layout);
    Bytes original;
    if (inflateAll(data, size, original) != Inflated::Whole)
        return;
    Require(walked, "a stream zlib inflates whole is walked");
    Bytes joinable(data, data + size);
    Require(MakeJoinable(joinable), "a walked stream can be made joinable");
    AppendEmptyFinalBlock(joinable);
    Bytes again;
    Require(inflateAll(joinable.data(), joinable.size(), again, original.size() + 1) == Inflated::Whole
                && again == original,
            "a stream made joinable and closed inflates to the same bytes");
}

void joinPieces(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return;
    const int level = data[0] % 13;
    const std::size_t count = 1 + (data[0] / 13) % 6;
    const std::uint8_t* input = data + 1;
    const std::size_t length = size - 1;
    DeflateWorker worker(level);
    Bytes joined;
    Bytes piece;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t from = length * i / count;
        const std::size_t to = length * (i + 1) / count;
        worker.compressPiece(input + from, to - from, i + 1 == count, piece);
        joined.insert(joined.end(), piece.begin(), piece.end());
    }
    Bytes out;
    Require(inflateAll(joined.data(), joined.size(), out, length + 1) == Inflated::Whole
                && out == Bytes(input, input + length),
            "pieces compressed apart and joined inflate to the data");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    walkAnyBytes(data, size);
    joinPieces(data, size);
    return 0;
}
