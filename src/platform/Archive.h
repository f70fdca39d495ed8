#pragma once
// Little-endian binary archive over a QIODevice, with the count and string encodings of the
// document file and the feature-set block.
#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <cstdint>

namespace vm {

class Archive {
public:
    enum class Mode { Store, Load };
    Archive(QIODevice& device, Mode mode) : m_device(device), m_mode(mode) {}

    bool IsStoring() const { return m_mode == Mode::Store; }
    bool IsLoading() const { return m_mode == Mode::Load; }
    QIODevice& Device() { return m_device; }

    void WriteU8(uint8_t v);
    void WriteU16(uint16_t v);
    void WriteU32(uint32_t v);
    void WriteI32(int32_t v);
    void WriteFloat(float v);
    void WriteBytes(const void* data, qint64 size);
    void WriteCount(uint32_t count);
    void WriteString(const QString& text);

    // Each reader throws ArchiveException(EndOfFile) when the data ends early.
    uint8_t ReadU8();
    uint16_t ReadU16();
    uint32_t ReadU32();
    int32_t ReadI32();
    float ReadFloat();
    void ReadBytes(void* data, qint64 size);
    // Exactly size bytes; a size beyond the data left is refused before any memory is reserved.
    QByteArray ReadBlock(qint64 size);
    uint32_t ReadCount();
    QString ReadString();

    // Bytes left before the end of the device (sequential devices: what is available).
    qint64 BytesLeft() const;

private:
    QIODevice& m_device;
    Mode m_mode;
};

} // namespace vm
