#pragma once

#include <QString>
#include <cstdint>
#include <functional>

// The engine's words about one archive, gathered as the history log receives them: the text is
// handed over in pieces that fit a 4,097-byte buffer, each piece is taken up to its first NUL, and
// the pieces are joined without separators.
class ZipMessage final
{
public:
    // pumpEvents runs after each piece taken (the caller's events flow while a long report is
    // gathered); it may be empty.
    explicit ZipMessage(std::function<void()> pumpEvents = {});

    // Hands the text over in pieces of at most 4,096 bytes of local 8-bit text, each followed by
    // a NUL, never splitting a multi-byte character.
    void print(const QString& text);
    // Takes one piece: the bytes up to the first NUL, at most length + 1 and never more than 4,097.
    void take(const char* buffer, std::uint32_t length);

    const QString& text() const { return m_text; }

private:
    std::function<void()> m_pumpEvents;
    QString m_text;
};
