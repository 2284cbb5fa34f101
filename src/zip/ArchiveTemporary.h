#pragma once

#include <QString>
#include <memory>

// True when the file name is one of the temporaries the engine writes new archives into (also
// those named after their archive). Such files are never archived.
bool IsArchiveTemporaryName(const QString& fileName);

// Removes every temporary of ours in the folder that no live writer holds: a writer keeps an
// exclusive lock on its temporary for as long as it runs, so an unlocked one was left by a run
// that died.
void SweepStaleTemporaries(const QString& folder);

// The file one run writes its new archive into: a fresh hidden name of fixed length in the backup
// folder (so it fits wherever the archive's name fits), created exclusively and locked for the
// whole run. It is removed when dropped, unless it became the archive.
class ArchiveTemporary final
{
public:
    // Returns null with `error` set (the system's words) when no temporary can be made there.
    static std::unique_ptr<ArchiveTemporary> create(const QString& folder, QString& error);
    ~ArchiveTemporary();
    ArchiveTemporary(const ArchiveTemporary&) = delete;
    ArchiveTemporary& operator=(const ArchiveTemporary&) = delete;

    const QString& path() const { return m_path; }
    int descriptor() const { return m_fd; }
    // Takes the file away now (idempotent); the lock goes with the descriptor, later.
    void remove();
    // Puts the finished file in the target's place in one step (keeping an older archive's
    // permissions) and flushes the folder's list of names. Returns false with `error` set.
    bool replace(const QString& target, QString& error);

private:
    ArchiveTemporary(QString path, int fd);

    QString m_path;
    int m_fd = -1;
    bool m_gone = false;
};
