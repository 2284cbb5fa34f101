#pragma once

// A process-wide request to abandon the archive being written (the window is closing). The
// archive's previous version stays as it was.
void RequestZipCancel();
void ResetZipCancel();
bool ZipCancelRequested();
