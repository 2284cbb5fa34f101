#pragma once

#include <QString>

// Small file-system routines shared by the whole program. None of them keeps state.

// True when the file or folder at the path exists (its modification time can be read).
bool FileExists(const QString& path);
// True when the path names an existing folder; false for files and on any failure.
bool FolderExists(const QString& path);
// Deletes the file, read-only or not, and swallows every failure. Lets window events through first.
void DeleteFileQuietly(const QString& path);
// Deletes the file even when it is read-only.
void ForceDeleteFile(const QString& path);
// The user's desktop folder followed by the path separator; raises an AppError when unknown.
QString DesktopFolder();
// The folder that holds the running program.
QString ProgramFolder();
