#pragma once
// Memory for photo-sized pixel buffers. A 12-megapixel photo takes 48 MB, and having the system
// hand that out page by page (4 KiB at a time, on first touch) costs more than decoding the
// photo; large blocks therefore come straight from the system on huge pages where it offers
// them, already zero-filled.
#include <QImage>
#include <cstddef>
#include <cstdint>

namespace vm {

class PixelBuffer {
public:
    PixelBuffer() = default;
    // bytes zero-filled bytes; throws std::bad_alloc when the memory is not there.
    explicit PixelBuffer(size_t bytes);
    ~PixelBuffer();
    PixelBuffer(PixelBuffer&& other) noexcept;
    PixelBuffer& operator=(PixelBuffer&& other) noexcept;
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;

    uint8_t* data() { return m_data; }
    const uint8_t* data() const { return m_data; }
    size_t size() const { return m_size; }

    // Gives up ownership; the memory must then go back through Free with the same size.
    uint8_t* Release();
    static void Free(uint8_t* data, size_t bytes);

private:
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
};

// A zero-filled image whose pixels live in a PixelBuffer that the image frees with its last
// copy. A null image when the size is empty or the memory is not there.
QImage NewPixelImage(int width, int height, QImage::Format format);

} // namespace vm
