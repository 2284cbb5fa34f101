#include "zip/EntryRecord.h"

#include "zip/ZipDirectory.h"

#include <cstring>

namespace {

constexpr std::uint8_t RecordVersion = 2;
constexpr int TagSize = 16;
constexpr int SignedSize = 1 + 8 + 8 + 8 + 8 + 1 + 8 + 4 + 8 + 4 + 32;
constexpr int RecordSize = SignedSize + TagSize;
constexpr std::uint8_t EvidenceTrusted = 1;

void put(QByteArray& out, std::uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint64_t get(const QByteArray& in, int at, int bytes)
{
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<std::uint64_t>(static_cast<unsigned char>(in.at(at + i))) << (8 * i);
    return v;
}

// What the tag covers: the record's bytes and the name they belong to.
QByteArray tagged(const QByteArray& signedPart, const QByteArray& entryName)
{
    QByteArray message = QByteArrayLiteral("Tessaly entry record|");
    put(message, static_cast<std::uint64_t>(entryName.size()), 4);
    message += entryName;
    message += signedPart;
    return message;
}

// How long after `from` `to` lies, exactly for any two times (a file's times are any a program
// gave it); nothing when it lies before.
std::optional<std::uint64_t> timeBetween(std::int64_t from, std::int64_t to)
{
    if (to < from)
        return std::nullopt;
    return static_cast<std::uint64_t>(to) - static_cast<std::uint64_t>(from);
}

RecordAges& ages()
{
    static RecordAges inForce;
    return inForce;
}

} // namespace

QByteArray EntryRecord::field(const QByteArray& entryName, MessageTagger& tagger) const
{
    QByteArray data;
    data.reserve(RecordSize);
    put(data, RecordVersion, 1);
    put(data, evidence.size, 8);
    put(data, static_cast<std::uint64_t>(evidence.mtimeNs), 8);
    put(data, static_cast<std::uint64_t>(evidence.ctimeNs), 8);
    put(data, evidence.inode, 8);
    put(data, evidenceTrusted ? EvidenceTrusted : 0, 1);
    put(data, static_cast<std::uint64_t>(readAtNs), 8);
    put(data, crc, 4);
    put(data, compressedSize, 8);
    put(data, dataCrc, 4);
    data.append(reinterpret_cast<const char*>(dataHash.data()), static_cast<qsizetype>(dataHash.size()));
    const QByteArray tag = tagger.tag(tagged(data, entryName), TagSize);
    QByteArray out;
    out.reserve(4 + RecordSize);
    put(out, EntryRecordId, 2);
    put(out, RecordSize, 2);
    out.append(data);
    out.append(tag);
    return out;
}

std::optional<EntryRecord> EntryRecord::find(const QByteArray& extra, const QByteArray& entryName,
                                             MessageTagger& tagger)
{
    const QByteArray data = FindExtraField(extra, EntryRecordId);
    if (data.size() != RecordSize || static_cast<std::uint8_t>(data.at(0)) != RecordVersion)
        return std::nullopt;
    const QByteArray expected = tagger.tag(tagged(data.left(SignedSize), entryName), TagSize);
    if (!SameTag(expected, data.mid(SignedSize)))
        return std::nullopt;
    EntryRecord record;
    record.evidence.size = get(data, 1, 8);
    record.evidence.mtimeNs = static_cast<std::int64_t>(get(data, 9, 8));
    record.evidence.ctimeNs = static_cast<std::int64_t>(get(data, 17, 8));
    record.evidence.inode = get(data, 25, 8);
    record.evidenceTrusted = (get(data, 33, 1) & EvidenceTrusted) != 0;
    record.readAtNs = static_cast<std::int64_t>(get(data, 34, 8));
    record.crc = static_cast<std::uint32_t>(get(data, 42, 4));
    record.compressedSize = get(data, 46, 8);
    record.dataCrc = static_cast<std::uint32_t>(get(data, 54, 4));
    std::memcpy(record.dataHash.data(), data.constData() + 58, record.dataHash.size());
    return record;
}

bool EntryRecord::settledAt(std::int64_t readAt) const
{
    const std::optional<std::uint64_t> age = timeBetween(evidence.ctimeNs, readAt);
    return age && *age >= static_cast<std::uint64_t>(ages().safeNs);
}

bool EntryRecord::trustedWithoutReading(std::int64_t nowNs) const
{
    const std::optional<std::uint64_t> age = timeBetween(readAtNs, nowNs);
    return evidenceTrusted && settledAt(readAtNs) && age && *age < static_cast<std::uint64_t>(ages().refreshNs);
}

void SetRecordAges(RecordAges given)
{
    ages() = given;
}
