#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <functional>

// The sample folders beside the program and the walk that lists them (module AddFolder).

// A folder's attribute bits as the file system reports them.
namespace FolderAttribute {
inline constexpr quint32 ReadOnly = 1;
inline constexpr quint32 Hidden = 2;
inline constexpr quint32 System = 4;
inline constexpr quint32 Directory = 16;
inline constexpr quint32 Archive = 32;
inline constexpr quint32 ReparsePoint = 1024;
} // namespace FolderAttribute

// The attributes of an existing folder: on Linux a name starting with "." is hidden, a symbolic
// link is a reparse point and nothing is a system folder. Raises AppError 76 when the folder is gone.
quint32 FolderAttributes(const QString& path);
// A hidden system folder or its junction, exactly: one more bit (archive, read-only) lets it pass.
bool IsHiddenSystemFolder(quint32 attributes);

// True when the name holds a character the walk refuses: below 32, 127 to 159, "?", or one outside
// the single-byte range of the legacy code page (above 255).
bool HasUnusualChars(const QString& name);

using AttributeReader = std::function<quint32(const QString& path)>;

// Extends the folder set in place with the accepted sub-folders of its entries, level by level
// (every folder of one depth before any of the next), each path built as parent + name + separator.
// Folders that cannot be listed are taken out of the set. Failures show the "Application Error" box
// of AddFolder.GetSubDirectories2016 and the walk goes on.
void GetSubDirectories2016(QStringList& folderSet, bool recurse);
// The same walk with the attributes read by the given reader.
void GetSubDirectories2016(QStringList& folderSet, bool recurse, const AttributeReader& attributes);

// The folder "Samples" beside the program, with a final separator.
QString SamplesFolder();
