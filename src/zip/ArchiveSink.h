#pragma once

#include <zip.h>

class ArchiveTemporary;

// The new archive as libzip writes it: into the run's own temporary (which must outlive the
// source), through a large buffer so the per-entry header rewrites cost no system calls, and
// flushed to the disk on commit. A rollback, or a commit that fails, closes and removes the file.
// Renaming it into place is the caller's step.
zip_source_t* CreateArchiveSink(ArchiveTemporary& temporary, zip_error_t* error);
