#pragma once

#include <QString>

// What tells one file system from another whatever its path: the same disk gives the same text
// wherever and whenever it is mounted, and an empty mount point gives that of the disk beneath.
// On Linux the file system's UUID as the system lists it, else the kernel's file-system id with
// its type; on Windows the volume's name. Empty when the folder cannot be reached.
QString FileSystemIdentity(const QString& folder);
