#pragma once

#include <QByteArray>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

// SHA-256 of a stream of bytes (the system's crypto library, which uses the processor's own
// instructions where it has them).
class Sha256 final
{
public:
    using Digest = std::array<std::uint8_t, 32>;

    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(const std::uint8_t* data, std::size_t size);
    // The digest of everything added since the last one; starts over.
    Digest finish();

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};

// HMAC-SHA-256 under one key, for many short messages; one object per thread.
class MessageTagger final
{
public:
    explicit MessageTagger(const QByteArray& key);
    ~MessageTagger();
    MessageTagger(const MessageTagger&) = delete;
    MessageTagger& operator=(const MessageTagger&) = delete;

    // The tag of the message, cut to `size` bytes (at most 32).
    QByteArray tag(const QByteArray& message, int size);

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};

// Compares two tags in full whatever differs first, so the time taken tells nothing of the right one.
bool SameTag(const QByteArray& a, const QByteArray& b);
