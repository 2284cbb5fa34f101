#pragma once

#include <QString>

// The archives this program wrote and read back intact, by what their files looked like once in
// place. An archive whose file still looks exactly so has not been changed by anyone since (on a
// file system whose change time the kernel sets on every change and no program can set), so the
// data copied from it needs no proof beyond its CRC: the SHA-256 of its records is only summed for
// archives not known this way. The list lives beside the settings store, readable by the user alone.
namespace KnownArchives {

// Adds the archive now at this path (its older entries beyond the list's length are forgotten).
void Remember(const QString& path);
// True when the open file is an archive remembered, looking exactly as it did then.
bool Unchanged(int fd);

} // namespace KnownArchives
