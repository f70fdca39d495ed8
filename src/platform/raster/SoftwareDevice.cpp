#include "platform/raster/SoftwareDevice.h"

#include "platform/core/Exceptions.h"

#include <algorithm>
#include <new>

namespace vm {

uint32_t BytesPerTexel(TextureFormat format) {
    switch (format) {
    case TextureFormat::A4R4G4B4:
    case TextureFormat::R5G6B5:
        return 2;
    case TextureFormat::A8R8G8B8:
    case TextureFormat::X8R8G8B8:
    case TextureFormat::A8B8G8R8:
    case TextureFormat::A2B10G10R10:
        return 4;
    }
    return 4;
}

uint32_t AlphaMaximum(TextureFormat format) {
    switch (format) {
    case TextureFormat::A8R8G8B8:
    case TextureFormat::A8B8G8R8:
        return 255;
    case TextureFormat::A4R4G4B4:
        return 15;
    case TextureFormat::A2B10G10R10:
        return 3;
    case TextureFormat::X8R8G8B8:
    case TextureFormat::R5G6B5:
        return 0;
    }
    return 0;
}

const char* TextureFormatName(TextureFormat format) {
    switch (format) {
    case TextureFormat::A8R8G8B8:
        return "A8R8G8B8";
    case TextureFormat::X8R8G8B8:
        return "X8R8G8B8";
    case TextureFormat::A8B8G8R8:
        return "A8B8G8R8";
    case TextureFormat::A4R4G4B4:
        return "A4R4G4B4";
    case TextureFormat::A2B10G10R10:
        return "A2B10G10R10";
    case TextureFormat::R5G6B5:
        return "R5G6B5";
    }
    return "unknown";
}

Texture::Texture(uint32_t width, uint32_t height, TextureFormat format)
    : m_width(width), m_height(height), m_format(format),
      m_pitch(size_t{width} * BytesPerTexel(format)), m_bytes(m_pitch * height) {}

Texture::~Texture() {
    if (m_memoryInUse) {
        *m_memoryInUse -= m_bytes.size();
    }
}

LockedRect Texture::Lock() {
    if (m_locked) {
        throw CDXException(hr::kInvalidCall);
    }
    m_locked = true;
    return {m_bytes.data(), m_pitch};
}

void Texture::Unlock() {
    if (m_locked) {
        m_locked = false;
        ++m_revision;
        m_lastChange.clear();
    }
}

void Texture::Unlock(std::vector<RowSpan> changedRows) {
    if (m_locked) {
        m_locked = false;
        ++m_revision;
        m_lastChange =
            changedRows.size() == m_height ? std::move(changedRows) : std::vector<RowSpan>();
    }
}

const std::vector<RowSpan>* Texture::ChangedSince(uint64_t seen) const {
    if (m_locked || m_lastChange.empty() || seen + 1 != m_revision) {
        return nullptr;
    }
    return &m_lastChange;
}

SoftwareDevice::SoftwareDevice(DeviceCaps caps) : m_caps(caps) {}

namespace {

uint32_t NextPowerOfTwo(uint32_t value) {
    uint32_t result = 1;
    while (result < value && result < 0x80000000u) {
        result <<= 1;
    }
    return result;
}

uint32_t FitSide(uint32_t requested, uint32_t maximum, bool powerOfTwo) {
    const uint32_t limit = std::max<uint32_t>(maximum, 1);
    uint32_t side = std::clamp<uint32_t>(requested, 1, limit);
    if (powerOfTwo) {
        side = NextPowerOfTwo(side);
        while (side > limit && side > 1) {
            side >>= 1;
        }
    }
    return side;
}

} // namespace

TextureRequirements SoftwareDevice::CheckTextureRequirements(uint32_t width,
                                                             uint32_t height) const {
    return {FitSide(width, m_caps.maxTextureWidth, m_caps.powerOfTwoOnly),
            FitSide(height, m_caps.maxTextureHeight, m_caps.powerOfTwoOnly), m_caps.textureFormat};
}

std::shared_ptr<Texture> SoftwareDevice::CreateTexture(uint32_t width, uint32_t height,
                                                       TextureFormat /*requested*/) {
    if (width == 0 || height == 0) {
        throw CDXException(hr::kInvalidCall);
    }
    const TextureRequirements actual = CheckTextureRequirements(width, height);
    const uint64_t bytes = uint64_t{actual.width} * actual.height * BytesPerTexel(actual.format);
    if (m_caps.textureMemory != 0 && *m_memoryInUse + bytes > m_caps.textureMemory) {
        throw CDXException(kOutOfVideoMemory);
    }
    std::shared_ptr<Texture> texture;
    try {
        texture = std::make_shared<Texture>(actual.width, actual.height, actual.format);
    } catch (const std::bad_alloc&) {
        throw CDXException(hr::kOutOfMemory);
    }
    texture->m_memoryInUse = m_memoryInUse;
    *m_memoryInUse += texture->SizeInBytes();
    return texture;
}

} // namespace vm
