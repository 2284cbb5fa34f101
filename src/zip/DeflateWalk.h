#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Walks a complete raw deflate stream without producing its data, to learn where its last block
// begins and where it ends, to the bit. Returns false when the stream is malformed.
struct DeflateLayout
{
    std::uint64_t lastBlockBit = 0; // bit position of the last block's header (its BFINAL bit)
    std::uint64_t endBit = 0; // bit position just after the last block's end code
};
bool WalkDeflate(const std::uint8_t* data, std::size_t size, DeflateLayout& layout);

// Turns a complete stream into a piece that another stream can follow: the last block is no
// longer final, and an empty stored block brings the end to a byte boundary (what zlib's sync
// flush writes).
bool MakeJoinable(std::vector<std::uint8_t>& stream);
