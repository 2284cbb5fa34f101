#pragma once

#include <QString>

// Moves a finished file over the target in one step: at every moment the target is either the
// old file or the new one, never missing. Returns false with `error` set (the system's words).
bool ReplaceFileAtomically(const QString& from, const QString& to, QString& error);

// Flushes the list of names of the folder holding `path`, so a rename survives a power cut.
void SyncFolderOf(const QString& path);
