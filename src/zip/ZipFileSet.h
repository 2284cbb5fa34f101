#pragma once

#include "zip/ZipJob.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

// The one-archive object: the caller names the archive, adds names and wildcard patterns, sets a
// few options and has the archive written as a ZipJob through the zip binding (ZipLibrary).
//
// Errors are raised as AppError with the numbers, sources and descriptions users know:
// 0x800407D1 "File is already in Zip List", 0x800407D2 "File is not in Zip List",
// 0x80040064 "CGZipFiles component failure".
class ZipFileSet final
{
public:
    ZipFileSet();

    bool recurseFolders() const { return m_recurse; }
    void setRecurseFolders(bool value) { m_recurse = value; }
    QString zipFileName() const { return m_zipFileName; }
    void setZipFileName(const QString& value) { m_zipFileName = value; }
    // Stored and returned only: archives are never encrypted.
    bool encrypted() const { return m_encrypt; }
    void setEncrypted(bool value) { m_encrypt = value; }
    // Stored and returned only: hidden and system files are always left out.
    bool includeSystemFiles() const { return m_systemFiles; }
    void setIncludeSystemFiles(bool value) { m_systemFiles = value; }
    // Names added, not counting the placeholder.
    qint32 zipFileCount() const { return static_cast<qint32>(m_fileList.size()) - 1; }
    QString rootDirectory() const { return m_rootDirectory; }
    void setRootDirectory(const QString& value) { m_rootDirectory = value; }
    bool updatingZip() const { return m_update; }
    void setUpdatingZip(bool value) { m_update = value; }
    bool ignorePath() const { return m_ignorePath; }
    void setIgnorePath(bool value) { m_ignorePath = value; }
    // An earlier archive of the same files: when the archive to write does not exist yet, the
    // data of files unchanged since that one was written is copied from it instead of compressed.
    QString reuseFrom() const { return m_reuseFrom; }
    void setReuseFrom(const QString& value) { m_reuseFrom = value; }
    // Asked while the archive is made; true abandons it (the old one stays). Default: never.
    void setCancelCheck(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }
    // Lets the caller's events through while names are added and the archive is made. Default:
    // nothing.
    void setEventPump(std::function<void()> pumpEvents) { m_pumpEvents = std::move(pumpEvents); }

    // Appends a name or pattern; raises 0x800407D1 when the list already holds it.
    void addFile(const QString& name);
    // Removes a name; raises 0x800407D2 when the list does not hold it.
    void removeFile(const QString& name);
    // Writes the archive; 0 on success, otherwise the engine's code (the words are in
    // lastMessage). Raises 0x80040064 when the call cannot be prepared or made.
    qint32 makeZipFile();
    // What the engine printed during this object's most recent makeZipFile.
    QString lastMessage() const { return m_lastMessage; }

    // The names in the order handed to the binding, placeholder (while present) first.
    QStringList fileList() const { return m_fileList; }

    static constexpr auto Placeholder = "querty";

private:
    // The form under which the list compares names.
    static QString key(const QString& name);
    ZipJob job() const;
    void pumpEvents() const;

    QStringList m_fileList;
    QSet<QString> m_keys; // key() of every entry of m_fileList
    bool m_recurse = false;
    QString m_zipFileName;
    bool m_encrypt = false;
    bool m_systemFiles = false;
    QString m_rootDirectory;
    bool m_ignorePath = false;
    bool m_update = false;
    QString m_reuseFrom;
    std::function<bool()> m_cancelled;
    std::function<void()> m_pumpEvents;
    QString m_lastMessage;
};
