#pragma once

#include <QByteArray>
#include <QDateTime>
#include <optional>

// Where an entry goes below the folder it is restored into: the parts of its name relative to the
// archive's root ("/" between them), made safe as the backup makes names (EntryName.h), with empty
// and "." parts dropped, so an absolute name lands inside the folder. Nothing when a part climbs
// out (".."), the name holds a NUL byte or no part is left. Every other byte is kept.
std::optional<QByteArray> SafeRelativePath(const QByteArray& name);

// The name an existing file keeps when a restored one takes its place: "name (before restore
// YYYY-MM-DD HH-MM).ext", the extension being what follows the last dot that does not begin the
// name. From the second attempt on, the attempt's number follows the time. The name is shortened
// where the system's limit on a name's length requires it.
QByteArray KeptName(const QByteArray& fileName, const QDateTime& moment, int attempt);

// The last part of a relative path, and what comes before it (without the "/").
QByteArray LastPart(const QByteArray& relativePath);
QByteArray ParentPart(const QByteArray& relativePath);
