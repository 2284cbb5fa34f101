#pragma once

#include "zip/ZipJob.h"

#include <QString>
#include <cstdint>
#include <functional>

// Receives the engine's words, one line at a time (each ends in "\n"). Called from the engine's
// own threads.
using ZipLineSink = std::function<void(const QString& line)>;

// Makes the archive on the calling thread (the binding runs it off the window's thread) and
// returns a ZipCode. Honours the job's cancel check; its event pump is not used here.
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
