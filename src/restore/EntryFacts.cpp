#include "restore/EntryFacts.h"

#include <ctime>
#include <sys/stat.h>

namespace {

constexpr std::uint16_t TimestampFieldId = 0x5455; // the extended timestamp other tools write
constexpr std::uint32_t DosFolderAttribute = 0x10;
constexpr std::int64_t NanosecondsPerSecond = 1'000'000'000;

std::optional<std::int64_t> extendedTimestamp(const QByteArray& extra)
{
    const QByteArray field = FindExtraField(extra, TimestampFieldId);
    if (field.size() < 5 || (field.at(0) & 0x01) == 0)
        return std::nullopt;
    std::uint32_t seconds = 0;
    for (int i = 4; i >= 1; --i)
        seconds = (seconds << 8) | static_cast<unsigned char>(field.at(i));
    return static_cast<std::int64_t>(static_cast<std::int32_t>(seconds)) * NanosecondsPerSecond;
}

// The DOS date and time are local time, in steps of two seconds.
std::int64_t dosTimestamp(std::uint32_t dosTime)
{
    std::tm local {};
    local.tm_year = static_cast<int>((dosTime >> 25) & 0x7F) + 80;
    local.tm_mon = static_cast<int>((dosTime >> 21) & 0x0F) - 1;
    local.tm_mday = static_cast<int>((dosTime >> 16) & 0x1F);
    local.tm_hour = static_cast<int>((dosTime >> 11) & 0x1F);
    local.tm_min = static_cast<int>((dosTime >> 5) & 0x3F);
    local.tm_sec = static_cast<int>(dosTime & 0x1F) * 2;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local)) * NanosecondsPerSecond;
}

} // namespace

EntryFacts FactsOf(const CentralEntry& entry)
{
    EntryFacts facts;
    const std::uint32_t mode = entry.externalAttributes >> 16;
    const std::uint32_t type = mode & S_IFMT;
    if (type == S_IFLNK)
        facts.kind = EntryFacts::Kind::Link;
    else if (type != 0 && type != S_IFREG && type != S_IFDIR)
        facts.kind = EntryFacts::Kind::Special;
    else if (type == S_IFDIR || entry.name.endsWith('/') || (entry.externalAttributes & DosFolderAttribute) != 0)
        facts.kind = EntryFacts::Kind::Folder;
    if (mode != 0)
        facts.permissions = mode & 0777;
    if (const std::optional<std::int64_t> stamped = extendedTimestamp(entry.extra))
        facts.mtimeNs = *stamped;
    else
        facts.mtimeNs = dosTimestamp(entry.dosTime);
    return facts;
}
