#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The one-archive object: the caller names the archive, adds names and wildcard patterns, sets a
// few options and has the archive written through the zip binding (CodeModule).
//
// Errors are raised as AppError with the numbers, sources and descriptions users know:
// 0x800407D1 "File is already in Zip List", 0x800407D2 "File is not in Zip List",
// 0x80040064 "CGZipFiles component failure".
class CGZipFiles final
{
public:
    CGZipFiles();

    bool RecurseFolders() const;
    void setRecurseFolders(bool value);
    QString ZipFileName() const;
    void setZipFileName(const QString& value);
    // Stored and returned only: archives are never encrypted.
    bool Encrypted() const;
    void setEncrypted(bool value);
    // Stored and returned only: hidden and system files are always left out.
    bool IncludeSystemFiles() const;
    void setIncludeSystemFiles(bool value);
    // Names added, not counting the placeholder.
    qint32 ZipFileCount() const;
    QString RootDirectory() const;
    void setRootDirectory(const QString& value);
    bool UpdatingZip() const;
    void setUpdatingZip(bool value);
    bool IgnorePath() const;
    void setIgnorePath(bool value);
    // An earlier archive of the same files: when the archive to write does not exist yet, the
    // data of files unchanged since that one was written is copied from it instead of compressed.
    QString ReuseFrom() const { return m_reuseFrom; }
    void setReuseFrom(const QString& value) { m_reuseFrom = value; }

    // Appends a name or pattern; raises 0x800407D1 when the list already holds it.
    void AddFile(const QString& name);
    // Removes a name; raises 0x800407D2 when the list does not hold it.
    void RemoveFile(const QString& name);
    // Writes the archive; 0 on success, otherwise the engine's code (the words are in
    // GetLastMessage). Raises 0x80040064 when the call cannot be prepared or made.
    qint32 MakeZipFile();
    // What the engine printed during the most recent archive (shared by all objects).
    QString GetLastMessage() const;

    // The names in the order handed to the binding, placeholder (while present) first.
    QStringList FileList() const { return m_fileList; }

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
