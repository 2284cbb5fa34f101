#pragma once

#include <QCursor>
#include <QString>
#include <optional>

// Loads a pointer from a Windows cursor (.cur) or icon (.ico) file beside the program. A cursor
// file carries its own hot spot; an icon's hot spot is its centre.
std::optional<QCursor> LoadCursorFile(const QString& path);
