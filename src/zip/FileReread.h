#pragma once

#include "zip/DeflateWorker.h"
#include "zip/SourceFile.h"
#include "zip/ZipReuse.h"
#include "zip/ZipWriter.h"

#include <cstdint>
#include <vector>

// A file read again, on the writer's own thread, after it changed while it was first read: opened
// anew and read to its end a piece at a time, each piece compressed and written as it comes.
struct Reread
{
    bool written = false; // false: the writer failed (see its error)
    SourceFile source; // how the file looked when this read began (its descriptor closed again)
    bool evidenceTrusted = false; // see ChangeTimeTrust
    bool readFailed = false; // the file could not be opened or read to its end: the entry was taken back
    QString error; // then the line that says why
    bool consistent = false; // it looked the same after the read, at the size read
    std::uint32_t crc = 0;
    std::int64_t size = 0;
    std::int64_t compressedSize = 0;
    std::vector<DeflatePiece> pieces;
};

// Begins the entry (its size known only now) and writes the file's data into it; the entry is
// left open for the caller to end, unless the read or the writer failed.
Reread CompressIntoWriter(const ZipItem& item, ZipWriter::Entry entry, ZipWriter& writer, DeflateWorker& deflater,
                          std::int64_t pieceSize, ChangeTimeTrust& trust);
