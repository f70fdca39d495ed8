#pragma once
// Little-endian binary archive over a QIODevice, with the count and string encodings of the
// document file and the feature-set block.
#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <cstdint>
#include <vector>

namespace vm {

class Archive {
public:
    enum class Mode { Store, Load };
    // With collectWrites, small writes are gathered and handed to the device in large pieces
    // (a device call per number costs more than the number's bytes); the device then sees them
    // only on Flush, Device() or destruction.
    Archive(QIODevice& device, Mode mode, bool collectWrites = false)
        : m_device(device), m_mode(mode), m_collect(collectWrites) {}
    // Hands over what is still collected; a failure there is lost, so writers call Flush.
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    bool IsStoring() const { return m_mode == Mode::Store; }
    bool IsLoading() const { return m_mode == Mode::Load; }
    // The device, with everything written so far handed to it.
    QIODevice& Device();

    // Hands collected writes to the device now; throws ArchiveException when it refuses them.
    void Flush();

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
    bool m_collect;
    std::vector<char> m_pending; // collected bytes not yet handed to the device
    size_t m_pendingSize = 0;
};

} // namespace vm
