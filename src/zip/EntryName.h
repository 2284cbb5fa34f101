#pragma once

#include <QString>

// The entry name to store for a name made of the file's path parts ("/" between them): one that
// no extractor can read as absolute or as climbing out of its folder, with "/" or "\" as the
// separator. On Linux "\" is an ordinary character of a file name, while extractors on Windows
// read it as a separator, so a part such as "x\..\..\evil.txt", "\x" or, first, "C:\x" would
// escape the extractor's folder: in such a part every "\" and ":" becomes "_". Every other part is
// kept exactly, so names stay as they are wherever they are safe.
QString SafeEntryName(const QString& name);
