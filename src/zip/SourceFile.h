#pragma once

#include "zip/ZipExpand.h"

#include <QString>
#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

// A file to archive, opened so that the open can never block (a FIFO or a device put in its place
// after the walk is not waited on) and never follows a link put in place of a file the walk saw as
// no link; the descriptor is checked to be a regular file.
struct SourceFile
{
    int fd = -1; // open for reading, or -1
    QString warning; // the line that says why the file is left out, when fd is -1
};
SourceFile OpenSourceFile(const ZipItem& item);

// Descriptors held open for the writer (-1 for none); those not handed on are closed.
class HeldFiles final
{
public:
    explicit HeldFiles(std::vector<int> descriptors = {})
        : m_descriptors(std::move(descriptors))
    { }
    ~HeldFiles();
    HeldFiles(const HeldFiles&) = delete;
    HeldFiles& operator=(const HeldFiles&) = delete;

    std::vector<int> release() { return std::exchange(m_descriptors, {}); }

private:
    std::vector<int> m_descriptors;
};

// Opens the given files (indexes into items) on `threads` threads before the archive is written,
// and reads their first byte, so a file that cannot be read at all is known before any entry is.
// The first `hold` files stay open for the writer (a file opened early cannot vanish any more);
// the others are closed again and opened when their data is needed. Stops early when cancelled.
std::vector<SourceFile> OpenSourceFiles(const std::vector<ZipItem>& items, const std::vector<int>& files, int threads,
                                        std::size_t hold, const std::function<bool()>& cancelled);

// How many files one archive may hold open, within the process's descriptor limit.
std::size_t SourceFilesToHold();
