#include "persistence/CSubStream.h"

#include "platform/core/Exceptions.h"

#include <algorithm>

namespace vm {

CSubStream::CSubStream(QIODevice& underlying, quint64 length)
    : m_underlying(underlying), m_base(static_cast<quint64>(std::max<qint64>(0, underlying.pos()))),
      m_length(length) {}

CSubStream::~CSubStream() {
    if (isOpen()) {
        close();
    }
}

bool CSubStream::open(OpenMode mode) {
    // Unbuffered: every read and write reaches the underlying device at once, so the file
    // position is exact when the window closes.
    return QIODevice::open(mode | QIODevice::Unbuffered);
}

qint64 CSubStream::size() const {
    if (HasEnd()) {
        return static_cast<qint64>(m_length);
    }
    return std::max<qint64>(0, m_underlying.size() - static_cast<qint64>(m_base));
}

quint64 CSubStream::UnderlyingPos() const {
    const qint64 pos = m_underlying.pos();
    if (pos < 0) {
        throw ResultException(hr::kFail);
    }
    return static_cast<quint64>(pos);
}

quint64 CSubStream::MoveUnderlying(quint64 absolute) {
    if (!m_underlying.seek(static_cast<qint64>(absolute))) {
        throw ResultException(hr::kFail);
    }
    const quint64 relative = absolute - m_base;
    QIODevice::seek(static_cast<qint64>(relative));
    return relative;
}

quint64 CSubStream::Seek(qint64 offset, Origin origin) {
    quint64 target = m_base;
    switch (origin) {
    case Origin::Begin:
        if (offset > 0) {
            target = m_base + static_cast<quint64>(offset);
            if (HasEnd()) {
                target = std::min(target, End());
            }
        }
        break;
    case Origin::Current: {
        const qint64 moved = static_cast<qint64>(UnderlyingPos()) + offset;
        target = moved < static_cast<qint64>(m_base) ? m_base : static_cast<quint64>(moved);
        if (HasEnd()) {
            target = std::min(target, End());
        }
        break;
    }
    case Origin::End:
        if (HasEnd()) {
            // A window with an end counts a non-negative offset back from its end.
            if (offset >= 0) {
                const quint64 back = static_cast<quint64>(offset);
                target = back > m_length ? m_base : End() - back;
            } else {
                target = End();
            }
        } else {
            const qint64 moved = m_underlying.size() + offset;
            target = moved < static_cast<qint64>(m_base) ? m_base : static_cast<quint64>(moved);
        }
        break;
    }
    return MoveUnderlying(target);
}

bool CSubStream::seek(qint64 pos) {
    try {
        Seek(pos, Origin::Begin);
        return true;
    } catch (const VisomorfException&) {
        return false;
    }
}

qint64 CSubStream::readData(char* data, qint64 maxSize) {
    qint64 allowed = maxSize;
    if (HasEnd()) {
        quint64 pos = 0;
        try {
            pos = UnderlyingPos();
        } catch (const VisomorfException&) {
            return -1;
        }
        if (pos >= End()) {
            return 0;
        }
        allowed =
            static_cast<qint64>(std::min<quint64>(static_cast<quint64>(maxSize), End() - pos));
    }
    const qint64 got = m_underlying.read(data, allowed);
    if (got < 0) {
        return -1;
    }
    return got;
}

qint64 CSubStream::writeData(const char* data, qint64 maxSize) {
    quint64 start = 0;
    if (HasEnd()) {
        try {
            start = UnderlyingPos();
        } catch (const VisomorfException&) {
            return -1;
        }
    }
    const qint64 written = m_underlying.write(data, maxSize);
    if (written > 0 && HasEnd() && start + static_cast<quint64>(written) > End()) {
        m_length = start + static_cast<quint64>(written) - m_base;
    }
    return written;
}

} // namespace vm
