#pragma once

#include <QString>

// The file system the backup folder was on when a run last wrote there, so that a run never writes
// into the empty mount point of a backup disk that is not connected, where the archives would
// hide beneath the disk once it is back.
namespace BackupDisk {

// Why nothing may be written into the backup folder now: it lies on another file system than the
// one it was last written to. Empty when it may: also for a folder no run has written to yet
// (since it was last chosen or typed), whose file system the next archive written there makes
// the known one.
QString NotConnectedReason(const QString& backupFolder);
// An archive was written into the folder: its file system is the known one, if none was.
void Remember(const QString& backupFolder);
// The user chose or typed the backup folder: the file system it is on at the next run is accepted.
void Forget();

} // namespace BackupDisk
