#pragma once
// The graphics device of the model: capabilities and textures held in system memory.
// Nothing here needs a screen; the 3D view uploads the texture bytes to OpenGL itself.
#include "platform/raster/PixelMemory.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vm {

// Result code of a texture request that exceeds the device's texture memory.
constexpr uint32_t kOutOfVideoMemory = 0x8876017C;

// Texel layouts a texture can have. Multi-byte texels are little-endian words; the channel
// order in the name runs from the most significant bits down.
enum class TextureFormat {
    A8R8G8B8,    // bytes blue, green, red, alpha
    X8R8G8B8,    // bytes blue, green, red, unused
    A8B8G8R8,    // bytes red, green, blue, alpha
    A4R4G4B4,    // 16-bit word: alpha 15-12, red 11-8, green 7-4, blue 3-0
    A2B10G10R10, // 32-bit word: alpha 31-30, blue 29-20, green 19-10, red 9-0
    R5G6B5,      // 16-bit word: red 15-11, green 10-5, blue 4-0
};

uint32_t BytesPerTexel(TextureFormat format);
// Largest alpha value of the format, 0 when the format has no alpha channel.
uint32_t AlphaMaximum(TextureFormat format);
const char* TextureFormatName(TextureFormat format);

struct DeviceCaps {
    uint32_t maxTextureWidth = 16384;
    uint32_t maxTextureHeight = 16384;
    // Textures must have power-of-two sides: requests are enlarged to the next power of two.
    bool powerOfTwoOnly = false;
    // The device refines N-patch meshes itself.
    bool nPatches = false;
    // The format every texture request actually gets, whatever was asked for.
    TextureFormat textureFormat = TextureFormat::A8R8G8B8;
    // Bytes all live textures together may occupy; 0 means no limit.
    uint64_t textureMemory = 0;
};

// What the device makes of a texture request: the size and format it would really create.
struct TextureRequirements {
    uint32_t width = 0;
    uint32_t height = 0;
    TextureFormat format = TextureFormat::A8R8G8B8;
};

// Where a locked texture's texels are. Row y begins at bits + y * pitch.
struct LockedRect {
    uint8_t* bits = nullptr;
    size_t pitch = 0;
};

// Columns [begin, end) of one texel row; empty when begin >= end.
struct RowSpan {
    uint32_t begin = 0, end = 0;
    bool operator==(const RowSpan&) const = default;
};

// One-level texture in system memory. Texels start zeroed.
class Texture {
public:
    Texture(uint32_t width, uint32_t height, TextureFormat format);
    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    TextureFormat Format() const { return m_format; }
    size_t Pitch() const { return m_pitch; }
    size_t SizeInBytes() const { return m_bytes.size(); }

    // A texture is locked by one writer at a time: locking a locked texture throws
    // CDXException (invalid call). Unlock counts a new revision of the contents.
    LockedRect Lock();
    // Any texel may have changed.
    void Unlock();
    // Only the texels of these spans changed, one span per row (Height() entries; any other
    // count is taken as a change of every texel).
    void Unlock(std::vector<RowSpan> changedRows);
    bool IsLocked() const { return m_locked; }
    // The texels that changed since a viewer saw revision `seen`: the rows' spans when exactly
    // one unlock with recorded spans came since, else nullptr (treat every texel as changed).
    const std::vector<RowSpan>* ChangedSince(uint64_t seen) const;

    // Read access for drawing and baking; not valid while the texture is locked.
    const uint8_t* Bits() const { return m_bytes.data(); }
    const uint8_t* Row(uint32_t y) const { return m_bytes.data() + y * m_pitch; }
    // Grows with every unlock, so a viewer knows when to upload the texels again.
    uint64_t Revision() const { return m_revision; }

private:
    friend class SoftwareDevice;
    uint32_t m_width;
    uint32_t m_height;
    TextureFormat m_format;
    size_t m_pitch;
    PixelBuffer m_bytes;
    bool m_locked = false;
    uint64_t m_revision = 0;
    std::vector<RowSpan> m_lastChange;       // of the latest unlock; empty: everything
    std::shared_ptr<uint64_t> m_memoryInUse; // the device's account, shared with the device
};

// Locks a texture for the lifetime of the guard.
class TextureLock {
public:
    explicit TextureLock(Texture& texture) : m_texture(texture), m_rect(texture.Lock()) {}
    ~TextureLock() { m_texture.Unlock(); }
    TextureLock(const TextureLock&) = delete;
    TextureLock& operator=(const TextureLock&) = delete;
    uint8_t* Row(uint32_t y) const { return m_rect.bits + y * m_rect.pitch; }
    const LockedRect& Rect() const { return m_rect; }

private:
    Texture& m_texture;
    LockedRect m_rect;
};

class SoftwareDevice {
public:
    explicit SoftwareDevice(DeviceCaps caps = {});
    // One device, one account of texture memory.
    SoftwareDevice(const SoftwareDevice&) = delete;
    SoftwareDevice& operator=(const SoftwareDevice&) = delete;

    const DeviceCaps& Caps() const { return m_caps; }
    // Changes what the device offers from now on; existing textures keep their layout.
    void SetCaps(const DeviceCaps& caps) { m_caps = caps; }

    // The size and format a request of width x height (texels) would get: sides clamped to the
    // maximum texture size, enlarged to powers of two where the device needs them, format the
    // device's texture format. A side of 0 asks for 1.
    TextureRequirements CheckTextureRequirements(uint32_t width, uint32_t height) const;

    // A one-level texture of at least the requested size where the device allows it (see
    // CheckTextureRequirements). Throws CDXException: invalid call for a side of 0,
    // kOutOfVideoMemory when the texture memory is exhausted, out of memory when the system's
    // memory is.
    std::shared_ptr<Texture> CreateTexture(uint32_t width, uint32_t height,
                                           TextureFormat requested = TextureFormat::A8R8G8B8);

    // Bytes held by the textures of this device that are still alive.
    uint64_t TextureMemoryInUse() const { return *m_memoryInUse; }

private:
    DeviceCaps m_caps;
    std::shared_ptr<uint64_t> m_memoryInUse = std::make_shared<uint64_t>(0);
};

} // namespace vm
