#pragma once

#include <QByteArray>
#include <QString>

// File names on disk are bytes, while the program's paths are text. Bytes that are not valid
// UTF-8 travel through the text as lone low surrogates U+DC80..U+DCFF, one per byte, so a name
// read from a folder listing can be opened again, and stored in an archive, with its exact bytes.
// Paths made only of valid UTF-8 read and write exactly as QString's own UTF-8 conversions do.

// The bytes the system knows the path by.
QByteArray NativePath(const QString& path);
// The text that stands for the system's bytes; NativePath gives the same bytes back.
QString PathFromNative(const QByteArray& bytes);
// True when the text carries bytes that are not valid UTF-8 (it cannot be shown or stored as text
// without changing the path it names).
bool HasRawBytes(const QString& path);
