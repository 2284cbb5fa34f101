#pragma once

#include "zip/DeflateWorker.h"
#include "zip/ZipReuse.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// What one entry must hold: the CRC and size of the bytes that were read for it, and, where the
// writer knows them, the pieces its data was compressed in (which lets a large entry be inflated
// piece by piece, fast, in little memory).
struct ExpectedEntry
{
    std::uint32_t crc = 0;
    std::int64_t size = 0;
    std::vector<DeflatePiece> pieces;
    // For data copied from an earlier archive that passed this check when it was written: where
    // the compressed bytes lie in the new file and their CRC-32, which is all that needs checking.
    std::optional<RecordedData> copied;
};
using ExpectedEntries = QHash<QByteArray, ExpectedEntry>; // by the entry's stored name

struct ArchiveCheckResult
{
    QString problem; // empty when the archive holds exactly the expected entries, intact
    bool cancelled = false;
    bool copiedDataDamaged = false; // the problem lies in data copied from an earlier archive
};

// Reads a finished archive back before it is trusted: every entry's data is inflated on `threads`
// threads, and its CRC and size must match both its headers and what was read for it; copied data
// is summed as it lies.
ArchiveCheckResult CheckArchive(const QString& path, const ExpectedEntries& expected, int threads,
                                const std::function<bool()>& cancelled);
