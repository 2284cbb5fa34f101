#include "zip/ZipMessage.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>
#include <utility>

namespace {
constexpr std::uint32_t PrintBufferSize = 4097;
}

ZipMessage::ZipMessage(std::function<void()> pumpEvents)
    : m_pumpEvents(std::move(pumpEvents))
{ }

void ZipMessage::print(const QString& text)
{
    if (text.isEmpty())
        return;
    const QByteArray bytes = text.toLocal8Bit();
    constexpr qsizetype piece = PrintBufferSize - 1;
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype size = std::min(piece, bytes.size() - at);
        // Never split a multi-byte character between two pieces.
        while (at + size < bytes.size() && size > 1 && (static_cast<unsigned char>(bytes.at(at + size)) & 0xC0) == 0x80)
            --size;
        QByteArray buffer = bytes.mid(at, size);
        buffer.append('\0');
        take(buffer.constData(), static_cast<std::uint32_t>(size));
        at += size;
    }
}

void ZipMessage::take(const char* buffer, std::uint32_t length)
{
    if (buffer) {
        const std::size_t limit = std::min<std::size_t>(static_cast<std::size_t>(length) + 1, PrintBufferSize);
        const void* nul = std::memchr(buffer, '\0', limit);
        const std::size_t size = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer) : limit;
        m_text += QString::fromLocal8Bit(buffer, static_cast<qsizetype>(size));
    }
    if (m_pumpEvents)
        m_pumpEvents();
}
