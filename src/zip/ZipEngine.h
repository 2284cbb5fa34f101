#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

// One archive to make, as the binding's three steps describe it.
struct ZipJob
{
    QString archivePath;
    QStringList names; // names and patterns in order (the binding's slot 0 is not among them)
    QString rootDirectory;
    bool junkPaths = false;
    bool recurse = false;
    bool update = false;
    bool freshen = false;
    bool includeHidden = false;
    bool noDirEntries = false;
    bool quiet = false;
    int threads = 0; // compression workers; 0 = one per core
    QString reuseFrom; // an earlier archive of the same files, used when the target does not exist yet
};

// Receives the engine's words, one line at a time (each ends in "\n"). Called from the engine's
// own threads.
using ZipLineSink = std::function<void(const QString& line)>;

// Makes the archive on the calling thread (the binding runs it off the window's thread) and
// returns a ZipCode. Honours ZipCancelRequested().
std::int32_t RunZipJob(const ZipJob& job, const ZipLineSink& print);

// A seam for tests: called on the engine's thread at two points of writing an archive, with the
// target once the names are expanded (before any file is opened), and with each temporary the
// archive is written into once it is complete (before it is read back and put in place). Empty
// by default.
enum class ZipStage
{
    Expanded,
    Written
};
using ZipStageProbe = std::function<void(ZipStage stage, const QString& path)>;
void SetZipStageProbe(ZipStageProbe probe);
