#pragma once

#include "zip/FileEvidence.h"
#include "zip/ZipExpand.h"

#include <QString>
#include <cstdint>

// A file to archive, opened so that the open can never block (a FIFO or a device put in its place
// after the walk is not waited on) and never follows a link put in place of a file the walk saw as
// no link; the descriptor is checked to be a regular file.
struct SourceFile
{
    int fd = -1; // open for reading, or -1
    QString warning; // the line that says why the file is left out, when fd is -1
    QString reason; // the system's words for why it could not be opened
    bool vanished = false; // nothing is there any more
    bool notAFile = false; // a FIFO, socket or device is there now
    FileEvidence evidence; // what the open file looked like before any of it was read
    std::uint64_t device = 0;
    std::int64_t readStartNs = 0; // the system clock just before the open
};
SourceFile OpenSourceFile(const ZipItem& item);

// True when the open file still looks as it did when opened: nothing changed it while it was read.
bool StillAsOpened(int fd, const FileEvidence& opened);
