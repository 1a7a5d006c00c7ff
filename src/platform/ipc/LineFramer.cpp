#include "LineFramer.h"

namespace veloxa {

QList<QByteArray> LineFramer::feed(const QByteArray& bytes) {
    QList<QByteArray> frames;
    if (m_overflowed)
        return frames;
    m_buffer.append(bytes);
    qsizetype start = 0;
    for (qsizetype nl = m_buffer.indexOf('\n'); nl >= 0; nl = m_buffer.indexOf('\n', start)) {
        if (nl - start > m_limit) {
            m_overflowed = true;
            m_buffer.clear();
            return frames;
        }
        frames.append(m_buffer.mid(start, nl - start));
        start = nl + 1;
    }
    m_buffer.remove(0, start);
    if (m_buffer.size() > m_limit) {
        m_overflowed = true;
        m_buffer.clear();
    }
    return frames;
}

} // namespace veloxa
