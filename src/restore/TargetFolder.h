#pragma once

#include "restore/FileHandle.h"

#include <QByteArray>
#include <QString>
#include <mutex>
#include <set>

// The folder files are restored into. Everything below it is reached one part at a time without
// following a link, so nothing is ever written outside it, whatever the names or the links on the
// disk. Safe to use from several threads at once.
class TargetFolder final
{
public:
    // Opens the folder; with `create`, it and its missing parents are made first. Links on the way
    // to the folder itself are the user's own and are followed. False with `error` set.
    bool open(const QString& path, bool create, QString& error);
    bool isOpen() const { return m_root.isOpen(); }
    const QString& path() const { return m_path; }

    // The folder at the relative path ("/" between parts, empty for the target itself), its
    // missing folders made when `create` is set. Not open when a part is missing (`error` left
    // empty unless `create` is set) or is anything but a folder.
    FileHandle folder(const QByteArray& relativePath, bool create, QString& error);

    // The folders this object made, by their relative paths.
    std::set<QByteArray> madeFolders() const;

private:
    QString m_path;
    FileHandle m_root;
    mutable std::mutex m_mutex;
    std::set<QByteArray> m_made;
};

// The text of the system's error number.
QString SystemText(int error);
