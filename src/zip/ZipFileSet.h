#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The one-archive object: the caller names the archive, adds names and wildcard patterns, sets a
// few options and has the archive written through the zip binding (ZipLibrary).
//
// Errors are raised as AppError with the numbers, sources and descriptions users know:
// 0x800407D1 "File is already in Zip List", 0x800407D2 "File is not in Zip List",
// 0x80040064 "CGZipFiles component failure".
class ZipFileSet final
{
public:
    ZipFileSet();

    bool recurseFolders() const;
    void setRecurseFolders(bool value);
    QString zipFileName() const;
    void setZipFileName(const QString& value);
    // Stored and returned only: archives are never encrypted.
    bool encrypted() const;
    void setEncrypted(bool value);
    // Stored and returned only: hidden and system files are always left out.
    bool includeSystemFiles() const;
    void setIncludeSystemFiles(bool value);
    // Names added, not counting the placeholder.
    qint32 zipFileCount() const;
    QString rootDirectory() const;
    void setRootDirectory(const QString& value);
    bool updatingZip() const;
    void setUpdatingZip(bool value);
    bool ignorePath() const;
    void setIgnorePath(bool value);
    // An earlier archive of the same files: when the archive to write does not exist yet, the
    // data of files unchanged since that one was written is copied from it instead of compressed.
    QString reuseFrom() const { return m_reuseFrom; }
    void setReuseFrom(const QString& value) { m_reuseFrom = value; }

    // Appends a name or pattern; raises 0x800407D1 when the list already holds it.
    void addFile(const QString& name);
    // Removes a name; raises 0x800407D2 when the list does not hold it.
    void removeFile(const QString& name);
    // Writes the archive; 0 on success, otherwise the engine's code (the words are in
    // lastMessage). Raises 0x80040064 when the call cannot be prepared or made.
    qint32 makeZipFile();
    // What the engine printed during the most recent archive (shared by all objects).
    QString lastMessage() const;

    // The names in the order handed to the binding, placeholder (while present) first.
    QStringList fileList() const { return m_fileList; }

    static constexpr auto Placeholder = "querty";

private:
    static qint16 flag(bool value) { return value ? 1 : 0; }
    // The form under which the list compares names.
    static QString key(const QString& name);

    QStringList m_fileList;
    QSet<QString> m_keys; // key() of every entry of m_fileList
    qint16 m_recurse = 0;
    QString m_zipFileName;
    qint16 m_encrypt = 0;
    qint16 m_systemFiles = 0;
    QString m_rootDirectory;
    qint16 m_ignorePath = 0;
    qint16 m_update = 0;
    QString m_reuseFrom;
};
