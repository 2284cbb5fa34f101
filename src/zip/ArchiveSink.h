#pragma once

#include <QString>

#include <zip.h>

// The new archive as libzip writes it: a file created (never reused) at the given path, written
// through a large buffer so the per-entry header rewrites cost no system calls, and flushed to the
// disk on commit. A rollback removes the file. Renaming it into place is the caller's step.
zip_source_t* CreateArchiveSink(const QString& path, zip_error_t* error);
