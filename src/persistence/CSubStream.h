#pragma once
// A window over a region of another seekable device (the document file), through which the image
// codec reads or writes one photo's JPEG bytes. Positions it reports are relative to the region's
// start; a region with an end never lets a read run past it.
#include <QIODevice>
#include <cstdint>

namespace vm {

class CSubStream : public QIODevice {
    Q_OBJECT
public:
    static constexpr quint64 kNoEnd = ~quint64(0);
    enum class Origin { Begin, Current, End };

    // The window starts at the underlying device's current position. With kNoEnd it has no end.
    explicit CSubStream(QIODevice& underlying, quint64 length = kNoEnd);
    ~CSubStream() override;

    bool HasEnd() const { return m_length != kNoEnd; }
    quint64 Base() const { return m_base; }
    quint64 Length() const { return m_length; }

    // Moves the window's position by the window's own clamping rules and returns the new
    // position relative to the base. Throws ResultException when the underlying device fails.
    quint64 Seek(qint64 offset, Origin origin);

    bool open(OpenMode mode) override;
    bool isSequential() const override { return false; }
    qint64 size() const override;
    bool seek(qint64 pos) override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    // Absolute position of the window's end (only when it has one).
    quint64 End() const { return m_base + m_length; }
    quint64 UnderlyingPos() const;
    quint64 MoveUnderlying(quint64 absolute);

    QIODevice& m_underlying;
    quint64 m_base;
    quint64 m_length;
};

} // namespace vm
