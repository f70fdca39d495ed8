#include "platform/raster/PixelMemory.h"

#include <cstdlib>
#include <limits>
#include <new>
#include <sys/mman.h>
#include <utility>

namespace vm {

namespace {

// Below this, the ordinary heap does as well.
constexpr size_t kSystemBlockMinimum = size_t{4} << 20;
constexpr size_t kHugePage = size_t{2} << 20;

size_t RoundUp(size_t value, size_t step) {
    return (value + step - 1) / step * step;
}

// A huge-page-aligned mapping: the system can back only aligned 2 MiB ranges with huge pages.
uint8_t* MapBlock(size_t bytes) {
    const size_t mapped = RoundUp(bytes, kHugePage);
    void* raw = mmap(nullptr, mapped + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        throw std::bad_alloc();
    }
    auto* start = static_cast<uint8_t*>(raw);
    auto* aligned =
        reinterpret_cast<uint8_t*>(RoundUp(reinterpret_cast<uintptr_t>(start), kHugePage));
    if (aligned > start) {
        munmap(start, static_cast<size_t>(aligned - start));
    }
    const size_t tail = static_cast<size_t>(start + mapped + kHugePage - (aligned + mapped));
    if (tail > 0) {
        munmap(aligned + mapped, tail);
    }
    // Only advice: without huge pages the block still works, page by page.
    madvise(aligned, mapped, MADV_HUGEPAGE);
    return aligned;
}

void CleanUpImage(void* info) {
    auto* buffer = static_cast<PixelBuffer*>(info);
    delete buffer;
}

} // namespace

PixelBuffer::PixelBuffer(size_t bytes) : m_size(bytes) {
    if (bytes == 0) {
        return;
    }
    if (bytes >= kSystemBlockMinimum) {
        m_data = MapBlock(bytes);
        return;
    }
    m_data = static_cast<uint8_t*>(std::calloc(bytes, 1));
    if (!m_data) {
        throw std::bad_alloc();
    }
}

PixelBuffer::~PixelBuffer() {
    Free(m_data, m_size);
}

PixelBuffer::PixelBuffer(PixelBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)) {}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept {
    if (this != &other) {
        Free(m_data, m_size);
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

uint8_t* PixelBuffer::Release() {
    m_size = 0;
    return std::exchange(m_data, nullptr);
}

void PixelBuffer::Free(uint8_t* data, size_t bytes) {
    if (!data) {
        return;
    }
    if (bytes >= kSystemBlockMinimum) {
        munmap(data, RoundUp(bytes, kHugePage));
        return;
    }
    std::free(data);
}

QImage NewPixelImage(int width, int height, QImage::Format format) {
    if (width <= 0 || height <= 0 || format == QImage::Format_Invalid) {
        return {};
    }
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    // Scan lines start on 32-bit boundaries, as the image's own allocations do.
    const qsizetype bytesPerLine = (qsizetype(width) * depth + 31) / 32 * 4;
    if (bytesPerLine > std::numeric_limits<int>::max() / 2) {
        return {};
    }
    try {
        auto* buffer = new PixelBuffer(size_t(bytesPerLine) * size_t(height));
        QImage image(buffer->data(), width, height, bytesPerLine, format, CleanUpImage, buffer);
        if (image.isNull()) {
            delete buffer;
        }
        return image;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

} // namespace vm
