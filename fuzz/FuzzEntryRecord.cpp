// The reuse record parser. The first byte chooses what the rest is.
// Even: an entry name (two bytes of length, then its bytes) and extra fields as an archive holds
// them. A record is accepted only when it is exactly the field this key writes for this name, and
// never for another name.
// Odd: the values of a record, any at all. Written and read back, it is the same record, and
// asking whether it may be trusted is sound arithmetic whatever its times and the clock say.
#include "FuzzSupport.h"
#include "zip/EntryRecord.h"
#include "zip/ZipDirectory.h"

#include <cstring>
#include <limits>

namespace {

using Fuzz::Require;

QByteArray bytesOf(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

QByteArray fieldHeader(qsizetype length)
{
    QByteArray header;
    for (const unsigned value : { unsigned(EntryRecordId), unsigned(length) }) {
        header.append(static_cast<char>(value & 0xFF));
        header.append(static_cast<char>(value >> 8));
    }
    return header;
}

void askTrust(const EntryRecord& record)
{
    constexpr std::int64_t min = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t max = std::numeric_limits<std::int64_t>::max();
    for (const std::int64_t now :
         { min, min + 1, std::int64_t(-1), std::int64_t(0), max, record.readAtNs, record.evidence.ctimeNs }) {
        (void)record.trustedWithoutReading(now);
        (void)record.settledAt(now);
    }
}

void parseFound(const std::uint8_t* data, std::size_t size, MessageTagger& tagger)
{
    if (size < 2)
        return;
    const std::size_t nameLength = std::min<std::size_t>(data[0] | (data[1] << 8), size - 2);
    const QByteArray name = bytesOf(data + 2, nameLength);
    const QByteArray extra = bytesOf(data + 2 + nameLength, size - 2 - nameLength);
    const std::optional<EntryRecord> record = EntryRecord::find(extra, name, tagger);
    if (!record)
        return;
    const QByteArray found = FindExtraField(extra, EntryRecordId);
    Require(record->field(name, tagger) == fieldHeader(found.size()) + found,
            "an accepted record is the very field this key writes for the name");
    Require(!EntryRecord::find(extra, name + '/', tagger), "a record is never accepted for another name");
    askTrust(*record);
}

void writeAndRead(const std::uint8_t* data, std::size_t size, MessageTagger& tagger)
{
    EntryRecord record;
    const auto take = [&data, &size](void* target, std::size_t length) {
        const std::size_t n = std::min(length, size);
        std::memcpy(target, data, n);
        data += n;
        size -= n;
    };
    take(&record.evidence.size, 8);
    take(&record.evidence.mtimeNs, 8);
    take(&record.evidence.ctimeNs, 8);
    take(&record.evidence.inode, 8);
    std::uint8_t trusted = 0;
    take(&trusted, 1);
    record.evidenceTrusted = (trusted & 1) != 0;
    take(&record.readAtNs, 8);
    take(&record.crc, 4);
    take(&record.compressedSize, 8);
    take(&record.dataCrc, 4);
    take(record.dataHash.data(), record.dataHash.size());
    const QByteArray name = bytesOf(data, size);
    const QByteArray field = record.field(name, tagger);
    const std::optional<EntryRecord> read = EntryRecord::find(field, name, tagger);
    Require(read && read->field(name, tagger) == field, "a record written is read back the same");
    askTrust(*read);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static MessageTagger tagger(Fuzz::SeedKey());
    if (size == 0)
        return 0;
    if (data[0] % 2 == 0)
        parseFound(data + 1, size - 1, tagger);
    else
        writeAndRead(data + 1, size - 1, tagger);
    return 0;
}
