#pragma once

#include <cstdint>

// The record signatures and field limits of the ZIP format, shared by our writer and reader.
namespace ZipFormat {
inline constexpr std::uint32_t LocalSignature = 0x04034b50;
inline constexpr std::uint32_t CentralSignature = 0x02014b50;
inline constexpr std::uint32_t EndSignature = 0x06054b50;
inline constexpr std::uint32_t End64Signature = 0x06064b50;
inline constexpr std::uint32_t Locator64Signature = 0x07064b50;
inline constexpr std::uint32_t Max32 = 0xFFFFFFFFu; // a 32-bit field at this value is in the ZIP64 field
inline constexpr std::uint16_t Max16 = 0xFFFFu;
inline constexpr std::uint16_t Zip64Id = 0x0001;
} // namespace ZipFormat
