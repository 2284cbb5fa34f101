#include "zip/DeflateWalk.h"

#include <array>
#include <cstring>

namespace {

class BitReader
{
public:
    BitReader(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    { }

    // Peeks n (<= 32) bits; bits past the end read as zero (checked by overrun()).
    std::uint32_t peek(unsigned n)
    {
        refill();
        return static_cast<std::uint32_t>(m_buffer & ((std::uint64_t(1) << n) - 1));
    }
    void skip(unsigned n)
    {
        if (m_count < n)
            refill();
        m_buffer >>= n;
        m_count -= n;
        m_position += n;
    }
    std::uint32_t take(unsigned n)
    {
        const std::uint32_t v = peek(n);
        skip(n);
        return v;
    }
    void alignToByte() { skip(static_cast<unsigned>((8 - m_position % 8) % 8)); }
    std::uint64_t position() const { return m_position; }
    bool overrun() const { return m_position > std::uint64_t(m_size) * 8; }
    // Jumps ahead by whole bytes from a byte boundary.
    void skipBytes(std::size_t n)
    {
        m_position += std::uint64_t(n) * 8;
        m_buffer = 0;
        m_count = 0;
        m_next = static_cast<std::size_t>(m_position / 8);
    }

private:
    void refill()
    {
        while (m_count <= 56) {
            const std::uint64_t byte = m_next < m_size ? m_data[m_next] : 0;
            ++m_next;
            m_buffer |= byte << m_count;
            m_count += 8;
        }
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_next = 0;
    std::uint64_t m_buffer = 0;
    unsigned m_count = 0;
    std::uint64_t m_position = 0;
};

// A canonical Huffman code read LSB first: one table lookup per symbol.
class Huffman
{
public:
    bool build(const std::uint8_t* lengths, unsigned count)
    {
        std::array<unsigned, 16> perLength {};
        m_bits = 0;
        for (unsigned i = 0; i < count; ++i) {
            ++perLength[lengths[i]];
            if (lengths[i] > m_bits)
                m_bits = lengths[i];
        }
        perLength[0] = 0;
        if (m_bits == 0) {
            m_bits = 1; // no codes at all (a distance code may be empty)
            m_table.assign(2, Entry { 0xffff, 0 });
            return true;
        }
        // Over-subscribed codes are malformed; incomplete ones are allowed (a single code).
        int left = 1;
        for (unsigned len = 1; len <= 15; ++len) {
            left <<= 1;
            left -= static_cast<int>(perLength[len]);
            if (left < 0)
                return false;
        }
        std::array<unsigned, 16> next {};
        unsigned code = 0;
        for (unsigned len = 1; len <= 15; ++len) {
            code = (code + perLength[len - 1]) << 1;
            next[len] = code;
        }
        m_table.assign(std::size_t(1) << m_bits, Entry { 0xffff, 0 });
        for (unsigned symbol = 0; symbol < count; ++symbol) {
            const unsigned len = lengths[symbol];
            if (len == 0)
                continue;
            const unsigned c = next[len]++;
            unsigned reversed = 0;
            for (unsigned b = 0; b < len; ++b)
                reversed |= ((c >> b) & 1u) << (len - 1 - b);
            for (std::size_t fill = reversed; fill < m_table.size(); fill += std::size_t(1) << len)
                m_table[fill] = Entry { static_cast<std::uint16_t>(symbol), static_cast<std::uint8_t>(len) };
        }
        return true;
    }

    // The next symbol, or -1 for a bit pattern no code has.
    int decode(BitReader& in) const
    {
        const Entry& e = m_table[in.peek(m_bits)];
        if (e.length == 0)
            return -1;
        in.skip(e.length);
        return e.symbol;
    }

private:
    struct Entry
    {
        std::uint16_t symbol;
        std::uint8_t length;
    };
    std::vector<Entry> m_table;
    unsigned m_bits = 0;
};

constexpr std::array<std::uint8_t, 29> LengthExtra
    = { 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0 };
constexpr std::array<std::uint8_t, 30> DistanceExtra
    = { 0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13 };

bool walkSymbols(BitReader& in, const Huffman& literals, const Huffman& distances)
{
    for (;;) {
        const int symbol = literals.decode(in);
        if (symbol < 0 || symbol > 285)
            return false;
        // Bits past the end read as zero, and zeros may well decode to a literal: a stream that
        // ends without its end code must not be walked for ever.
        if (symbol < 256) {
            if (in.overrun())
                return false;
            continue;
        }
        if (symbol == 256)
            return true;
        in.skip(LengthExtra[static_cast<std::size_t>(symbol - 257)]);
        const int distance = distances.decode(in);
        if (distance < 0 || distance > 29)
            return false;
        in.skip(DistanceExtra[static_cast<std::size_t>(distance)]);
        if (in.overrun())
            return false;
    }
}

bool dynamicTables(BitReader& in, Huffman& literals, Huffman& distances)
{
    static constexpr std::array<std::uint8_t, 19> order
        = { 16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15 };
    const unsigned hlit = in.take(5) + 257;
    const unsigned hdist = in.take(5) + 1;
    const unsigned hclen = in.take(4) + 4;
    if (hlit > 286 || hdist > 30)
        return false;
    std::array<std::uint8_t, 19> codeLengths {};
    for (unsigned i = 0; i < hclen; ++i)
        codeLengths[order[i]] = static_cast<std::uint8_t>(in.take(3));
    Huffman lengthCode;
    if (!lengthCode.build(codeLengths.data(), 19))
        return false;
    std::array<std::uint8_t, 320> lengths {};
    unsigned n = 0;
    while (n < hlit + hdist) {
        const int symbol = lengthCode.decode(in);
        if (symbol < 0)
            return false;
        if (symbol < 16) {
            lengths[n++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        unsigned repeat = 0;
        std::uint8_t value = 0;
        if (symbol == 16) {
            if (n == 0)
                return false;
            value = lengths[n - 1];
            repeat = 3 + in.take(2);
        } else if (symbol == 17) {
            repeat = 3 + in.take(3);
        } else {
            repeat = 11 + in.take(7);
        }
        if (n + repeat > hlit + hdist)
            return false;
        while (repeat--)
            lengths[n++] = value;
    }
    if (lengths[256] == 0)
        return false;
    return literals.build(lengths.data(), hlit) && distances.build(lengths.data() + hlit, hdist);
}

} // namespace

bool WalkDeflate(const std::uint8_t* data, std::size_t size, DeflateLayout& layout)
{
    BitReader in(data, size);
    Huffman fixedLiterals;
    Huffman fixedDistances;
    bool fixedBuilt = false;
    Huffman literals;
    Huffman distances;
    for (;;) {
        const std::uint64_t header = in.position();
        const bool final = in.take(1) != 0;
        const unsigned type = in.take(2);
        if (type == 0) {
            in.alignToByte();
            const std::uint32_t length = in.take(16);
            const std::uint32_t inverse = in.take(16);
            if ((length ^ 0xffffu) != inverse)
                return false;
            in.skipBytes(length);
        } else if (type == 1) {
            if (!fixedBuilt) {
                std::array<std::uint8_t, 288> l {};
                for (unsigned i = 0; i < 288; ++i)
                    l[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
                std::array<std::uint8_t, 30> d {};
                d.fill(5);
                fixedLiterals.build(l.data(), 288);
                fixedDistances.build(d.data(), 30);
                fixedBuilt = true;
            }
            if (!walkSymbols(in, fixedLiterals, fixedDistances))
                return false;
        } else if (type == 2) {
            if (!dynamicTables(in, literals, distances) || !walkSymbols(in, literals, distances))
                return false;
        } else {
            return false;
        }
        if (in.overrun())
            return false;
        if (final) {
            layout.lastBlockBit = header;
            layout.endBit = in.position();
            // Only zero padding may follow the last block.
            return (layout.endBit + 7) / 8 == size;
        }
    }
}

bool MakeJoinable(std::vector<std::uint8_t>& stream)
{
    DeflateLayout layout;
    if (!WalkDeflate(stream.data(), stream.size(), layout))
        return false;
    stream[layout.lastBlockBit / 8] &= static_cast<std::uint8_t>(~(1u << (layout.lastBlockBit % 8)));
    // An empty stored block: three zero header bits right after the end code, zeros to the byte
    // boundary, then LEN 0 and its complement.
    const std::uint64_t headerEnd = layout.endBit + 3;
    const std::size_t bytes = static_cast<std::size_t>((headerEnd + 7) / 8);
    stream.resize(bytes, 0);
    const unsigned used = static_cast<unsigned>(layout.endBit % 8);
    if (used != 0)
        stream[layout.endBit / 8] &= static_cast<std::uint8_t>((1u << used) - 1);
    for (std::size_t i = static_cast<std::size_t>((layout.endBit + 7) / 8); i < bytes; ++i)
        stream[i] = 0;
    stream.insert(stream.end(), { 0x00, 0x00, 0xff, 0xff });
    return true;
}
