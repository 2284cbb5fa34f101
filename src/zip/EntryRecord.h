#pragma once

#include "zip/Digest.h"
#include "zip/FileEvidence.h"

#include <QByteArray>
#include <cstdint>
#include <optional>

// The record this program keeps beside each file entry it writes (a private extra field of the
// central directory, ID 0x7454; other readers skip it). It says what the file looked like when its
// data was read, what that data is (sizes, both CRC-32s and the SHA-256 of the compressed bytes),
// and carries a tag made with the user's own key over all of it and the entry's name, so a record
// that this user's program did not write is never trusted.
struct EntryRecord
{
    FileEvidence evidence; // when the read began; evidence.size is the data's size
    // The evidence may be relied on: the file lies on a file system whose change time the kernel
    // sets on every change and no program can set.
    bool evidenceTrusted = false;
    std::int64_t readAtNs = 0; // when the read that matched the data began
    std::uint32_t crc = 0; // of the file's bytes
    std::uint64_t compressedSize = 0;
    std::uint32_t dataCrc = 0; // of the compressed bytes
    Sha256::Digest dataHash {}; // of the compressed bytes

    // The extra field, tagged for this entry name.
    QByteArray field(const QByteArray& entryName, MessageTagger& tagger) const;
    // The record in the entry's extra fields, when there is one whose tag is right for this name.
    static std::optional<EntryRecord> find(const QByteArray& extra, const QByteArray& entryName, MessageTagger& tagger);

    // True when the data may be copied without reading the file, given that its evidence is
    // unchanged. Otherwise the file is read and its bytes compared: while the record is young (the
    // file had not stood still for the safe age when it was read, so a long write or writes
    // through a shared mapping may have gone on without moving its times), and once the record is
    // a day old, so that data gone stale without any sign can never stay longer.
    bool trustedWithoutReading(std::int64_t nowNs) const;
    // True when the file had stood still for the safe age when a read that began then found it so.
    bool settledAt(std::int64_t readAtNs) const;
};

inline constexpr std::uint16_t EntryRecordId = 0x7454;

// The two ages of the rule above. Two minutes: the kernel writes a dirty page out within about
// 35 seconds (after which the next write through a mapping moves the file's times again), and one
// write() that lasts longer is rare; whatever still escapes is caught within a day.
struct RecordAges
{
    std::int64_t safeNs = 120ll * 1'000'000'000;
    std::int64_t refreshNs = 24ll * 3600 * 1'000'000'000;
};
// A seam for tests, which cannot wait two minutes.
void SetRecordAges(RecordAges ages);
