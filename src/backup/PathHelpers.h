#pragma once

#include <QChar>
#include <QString>

// Path helpers of the backup engine: pure functions of text, with the separator as a parameter so
// that both the Windows rules ("\") and the Linux ones ("/") can be checked anywhere.

// The platform's own separator: "/" on Linux, "\" on Windows.
QChar PathSeparator();

// Repairs a path that was joined with one separator too many. Inside the path every
// non-overlapping doubled separator becomes one, in a single pass (three in a row leave two). A
// leading run becomes exactly two "\" with "\" (network paths survive) and exactly one "/" with
// "/" (there are no network paths).
QString CollapseBackslashes(const QString& path, QChar separator);
QString CollapseBackslashes(const QString& path);

// The text after the last separator: the whole path when it has none, empty when it ends in one.
QString LastPathPart(const QString& path, QChar separator);
QString LastPathPart(const QString& path);
