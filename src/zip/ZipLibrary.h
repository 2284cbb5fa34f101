#pragma once

#include "zip/ZipJob.h"

// The zip binding: makes the archive a job describes and gives back the code with the engine's
// words (see ZipMessage). The engine works on another thread while the calling thread waits in a
// local event loop, taking the engine's lines as they come and letting the job's events through;
// without an application object the engine works on the calling thread.
ZipResult MakeZipArchive(const ZipJob& job);

// How long a quitting application waits for an archive it abandoned.
inline constexpr int QuitWaitMilliseconds = 1000;
// An archive abandoned by the quitting application is still being made: its engine is stuck in a
// read that does not return. The program ends without waiting for its threads.
bool ZipWorkLeftBehind();
