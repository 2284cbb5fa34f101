#include "base/CursorFile.h"

#include <QFile>
#include <QPixmap>
#include <QtEndian>

std::optional<QCursor> LoadCursorFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    QPixmap pixmap;
    if (bytes.size() < 22 || !pixmap.loadFromData(bytes))
        return std::nullopt;
    // Header: reserved, type (1 icon, 2 cursor), count; then the first entry, whose bytes 4..7
    // hold the hot spot of a cursor.
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const bool isCursor = qFromLittleEndian<quint16>(data + 2) == 2;
    const int hotX = isCursor ? qFromLittleEndian<quint16>(data + 10) : pixmap.width() / 2;
    const int hotY = isCursor ? qFromLittleEndian<quint16>(data + 12) : pixmap.height() / 2;
    return QCursor(pixmap, hotX, hotY);
}
