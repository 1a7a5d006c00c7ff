#pragma once

#include <QByteArray>
#include <QList>

namespace veloxa {

// Splits a byte stream into newline-terminated frames of bounded size. Once a frame grows
// past the limit without a newline the framer is spoiled: the peer is misbehaving and the
// connection should be closed.
class LineFramer {
public:
    static constexpr qsizetype defaultLimit = 1024 * 1024;

    explicit LineFramer(qsizetype limit = defaultLimit) : m_limit(limit) {}

    // Appends bytes and returns the complete frames (without the newline) they finish.
    QList<QByteArray> feed(const QByteArray& bytes);
    bool overflowed() const { return m_overflowed; }
    qsizetype pending() const { return m_buffer.size(); }

private:
    qsizetype m_limit;
    QByteArray m_buffer;
    bool m_overflowed = false;
};

} // namespace veloxa
