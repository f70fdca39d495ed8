#include "texture/BlendZone.h"

#include "platform/core/Exceptions.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vm {

BlendLine::BlendLine(const std::vector<Vec2>& zone, float shiftX) : m_points(zone) {
    for (Vec2& point : m_points) {
        point.x += shiftX;
    }
}

void BlendLine::Mirror(float width) {
    for (Vec2& point : m_points) {
        point.x = width - point.x;
    }
}

bool BlendLine::Evaluate(float y, float& x) const {
    if (m_points.empty()) {
        throw InvalidArgumentException();
    }
    float result = 0;
    bool found = false;
    if (y <= m_points.front().y) {
        result = m_points.front().x;
        found = true;
    } else if (y >= m_points.back().y) {
        result = m_points.back().x;
        found = true;
    } else {
        for (size_t i = 1; i < m_points.size() && !found; ++i) {
            const Vec2& a = m_points[i - 1];
            const Vec2& b = m_points[i];
            if (a.y <= y && y <= b.y) {
                result = a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y);
                found = true;
            }
        }
    }
    // A position that is not a finite number cannot be painted; treat it like a row that no
    // segment contains.
    if (!found || !std::isfinite(result)) {
        return false;
    }
    x = result;
    return true;
}

namespace {

// Where the alpha bits of a texel are: one byte per texel holds them all.
struct AlphaBits {
    uint32_t maximum = 0; // M
    uint32_t stride = 0;  // bytes per texel
    uint32_t byteIndex = 0;
    uint32_t shift = 0;   // of the alpha value within that byte
    uint8_t keepMask = 0; // colour bits of that byte
};

bool FindAlphaBits(TextureFormat format, AlphaBits& bits) {
    switch (format) {
    case TextureFormat::A8R8G8B8:
    case TextureFormat::A8B8G8R8:
        bits = {255, 4, 3, 0, 0x00};
        return true;
    case TextureFormat::A4R4G4B4:
        bits = {15, 2, 1, 4, 0x0F};
        return true;
    case TextureFormat::A2B10G10R10:
        bits = {3, 4, 3, 6, 0x3F};
        return true;
    default:
        return false;
    }
}

// Paints one row and notes which texels really changed, so that a viewer of the texture can
// send only those on (a blend zone step changes a narrow band of a large photo).
class RowPainter {
public:
    RowPainter(const AlphaBits& bits, uint8_t* row) : m_bits(bits), m_row(row) {}

    void Set(uint32_t x, uint32_t alpha) {
        uint8_t& byte = m_row[x * m_bits.stride + m_bits.byteIndex];
        const auto painted =
            static_cast<uint8_t>((byte & m_bits.keepMask) | (alpha << m_bits.shift));
        if (painted != byte) {
            byte = painted;
            m_changed.begin = std::min(m_changed.begin, x);
            m_changed.end = std::max(m_changed.end, x + 1);
        }
    }
    void Fill(uint32_t begin, uint32_t end, uint32_t alpha) {
        for (uint32_t x = begin; x < end; ++x) {
            Set(x, alpha);
        }
    }
    RowSpan Changed() const { return m_changed.begin < m_changed.end ? m_changed : RowSpan{}; }

private:
    AlphaBits m_bits;
    uint8_t* m_row;
    RowSpan m_changed{UINT32_MAX, 0};
};

uint32_t RampAlpha(uint32_t maximum, int x, float left, float span) {
    const float fraction = float(maximum) * (float(x) - left) / span;
    return maximum - static_cast<uint32_t>(std::trunc(fraction));
}

// Texels xl+1 .. xr-1 fall from A1 to A2, stepped in fixed point with 24 fraction bits.
void PaintFall(RowPainter& painter, uint32_t maximum, int xl, int xr, float left, float span) {
    const uint32_t count = uint32_t(xr - xl - 1);
    if (count == 0) {
        return;
    }
    const uint32_t a1 = RampAlpha(maximum, xl + 1, left, span);
    if (count == 1) {
        painter.Set(uint32_t(xl + 1), a1);
        return;
    }
    const uint32_t a2 = RampAlpha(maximum, xr - 1, left, span);
    const uint32_t step = ((a1 - a2) << 24) / (count - 1);
    uint32_t value = a1 << 24;
    for (uint32_t x = uint32_t(xl + 1); x < uint32_t(xr); ++x) {
        painter.Set(x, value >> 24);
        value -= step;
    }
}

void PaintRow(RowPainter& painter, uint32_t maximum, uint32_t rowLength, float left, float right) {
    const float tw = float(rowLength);
    const int xl = static_cast<int>(std::clamp(left, 0.0f, tw));
    const int xr = static_cast<int>(std::clamp(right, 0.0f, tw));
    if (xl >= xr) {
        painter.Fill(0, uint32_t(xl), maximum);
        painter.Fill(uint32_t(xl), rowLength, 0);
        return;
    }
    painter.Fill(0, uint32_t(xl) + 1, maximum);
    PaintFall(painter, maximum, xl, xr, left, right - left);
    painter.Fill(uint32_t(xr), rowLength, 0);
}

// Evaluates a line at a row, falling back on the previous row's clamped position.
float LineAtRow(const BlendLine& line, float y, float& previousClamped, float rowLength) {
    float x = 0;
    if (!line.Evaluate(y, x)) {
        x = previousClamped;
    }
    previousClamped = std::clamp(x, 0.0f, rowLength);
    return x;
}

} // namespace

void UpdateBlendZone(Texture& side, const std::vector<Vec2>& zone, float width, bool leftSide,
                     QSizeF photoSize) {
    if (zone.empty()) {
        throw InvalidArgumentException();
    }
    BlendLine leftLine(zone, -width * 0.5f);
    BlendLine rightLine(zone, width * 0.5f);
    if (leftSide) {
        const auto photoWidth = static_cast<float>(photoSize.width());
        leftLine.Mirror(photoWidth);
        rightLine.Mirror(photoWidth);
        std::swap(leftLine, rightLine);
    }
    AlphaBits bits;
    if (!FindAlphaBits(side.Format(), bits)) {
        return;
    }
    LockedRect rect;
    try {
        rect = side.Lock();
    } catch (const CDXException&) {
        return; // the alpha stays as it was
    }
    const uint32_t rowLength = side.Width();
    const float tw = float(rowLength);
    float previousLeft = 0;
    float previousRight = 0;
    std::vector<RowSpan> changed(side.Height());
    for (uint32_t y = 0; y < side.Height(); ++y) {
        const float left = LineAtRow(leftLine, float(y), previousLeft, tw);
        const float right = LineAtRow(rightLine, float(y), previousRight, tw);
        RowPainter painter(bits, rect.bits + y * rect.pitch);
        PaintRow(painter, bits.maximum, rowLength, left, right);
        changed[y] = painter.Changed();
    }
    side.Unlock(std::move(changed));
}

} // namespace vm
