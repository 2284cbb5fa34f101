#pragma once

#include "restore/FileHandle.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

// What happens to an existing file where a restored one goes.
enum class ExistingFiles
{
    Keep, // it stays, renamed as KeptName gives
    Replace
};

// A restored file being written under a hidden temporary name in its folder: it takes its real name
// only once it is complete and checked, and is removed when dropped before that.
class PendingFile final
{
public:
    // Creates the temporary in the folder (readable by its owner only until placed); not open,
    // with `error` set, when it cannot.
    PendingFile(int folderFd, QString& error);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool isOpen() const { return m_file.isOpen(); }
    int descriptor() const { return m_file.get(); }

    // Gives the file its name in one step. An existing file of that name (not a folder) is kept as
    // KeptName gives, or replaced. Returns the name the existing one was kept under (empty when
    // there was none to keep), or nothing with `error` set.
    std::optional<QByteArray> place(const QByteArray& name, ExistingFiles existing, const QDateTime& moment,
                                    QString& error);

private:
    bool keepExisting(const QByteArray& name, const QDateTime& moment, QByteArray& keptAs, QString& error);
    bool takeName(const QByteArray& name, bool replace, QString& error);

    int m_folder;
    FileHandle m_file;
    QByteArray m_name;
    bool m_placed = false;
};
