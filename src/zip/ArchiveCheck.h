#pragma once

#include "zip/DeflateWorker.h"
#include "zip/FilePass.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
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
    // the compressed bytes lie in the new file and what their record says they are, which is all
    // that needs checking. Apart, as most entries have none.
    std::shared_ptr<const RecordedData> copied;
};
using ExpectedEntries = QHash<QByteArray, ExpectedEntry>; // by the entry's stored name

struct ArchiveCheckResult
{
    QString problem; // empty when the archive holds exactly the expected entries, intact
    bool cancelled = false;
    // The entries whose data, copied from an earlier archive, is not what their records say.
    std::vector<QByteArray> damagedCopies;
    bool bytesDiffer = false; // some byte is not the one the writer meant to write
};

// Reads a finished archive back before it is trusted: every byte must be what the writer meant to
// write (fileCrc, see ZipWriter::fileCrc), every entry's data is inflated on `threads` threads and
// its CRC and size must match both its headers and what was read for it, and copied data must be
// what its record says.
ArchiveCheckResult CheckArchive(const QString& path, const ExpectedEntries& expected, std::uint32_t fileCrc,
                                int threads, const std::function<bool()>& cancelled);
