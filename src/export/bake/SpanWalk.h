#pragma once
// The walk over one triangle's spans within a band, shading the pixels no triangle has written
// yet: eight or four side by side at once, the odd ones together with those of the triangle's
// next spans. Each kernel file instantiates it with its own lanes, so that the shading inlines
// into the walk and the program pays one indirect call per triangle, not per pixel run.
#include "export/bake/AtlasTriangle.h"

#include <cstring>

namespace vm::bake {

// A band's written flags: 1 where a triangle has drawn, one byte a pixel, width bytes a row.
struct WrittenFlags {
    uint8_t* rows; // row 0's flags (rows outside the band are never touched)
    int width;

    uint8_t* Row(int y) const { return rows + static_cast<size_t>(y) * static_cast<size_t>(width); }
};

// Whether the eight pixels from written on are all written.
inline bool AllWritten(const uint8_t* written) {
    uint64_t eight;
    std::memcpy(&eight, written, 8);
    return eight == 0x0101010101010101u;
}

// The first pixel at or after x that no triangle has written yet, or end.
inline int SkipWritten(const uint8_t* written, int x, int end) {
    while (x + 8 <= end && AllWritten(written + x)) {
        x += 8;
    }
    while (x < end && written[x]) {
        ++x;
    }
    return x;
}

// Lanes provides RunOfEight (unused unless eightLanes), RunOfFour and Group with the
// signatures of ShadeKernels' members.
template <class Lanes> class SpanWalk {
public:
    SpanWalk(const ShadeTarget& target, const AtlasTriangle& t, const WrittenFlags& flags,
             bool eightLanes)
        : m_target(target), m_t(t), m_flags(flags), m_eightLanes(eightLanes) {}

    void Span(int y, int xBegin, int xEnd) {
        uint8_t* const written = m_flags.Row(y);
        int x = SkipWritten(written, xBegin, xEnd);
        while (x < xEnd) {
            uint64_t eight = 1;
            if (m_eightLanes && x + 8 <= xEnd) {
                std::memcpy(&eight, written + x, 8);
            }
            uint32_t four = 1;
            if (x + 4 <= xEnd) {
                std::memcpy(&four, written + x, 4);
            }
            if (eight == 0) {
                std::memset(written + x, 1, 8);
                Lanes::RunOfEight(m_target, m_t, x, y);
                x += 8;
            } else if (four == 0) {
                std::memset(written + x, 1, 4);
                Lanes::RunOfFour(m_target, m_t, x, y);
                x += 4;
            } else {
                Pend(x, y);
                written[x] = 1;
                ++x;
            }
            if (x < xEnd && written[x]) {
                x = SkipWritten(written, x, xEnd);
            }
        }
    }

    // Shades the pixels still waiting for company.
    void Finish() {
        if (m_pending.count > 0) {
            Lanes::Group(m_target, m_t, m_pending);
            m_pending.count = 0;
        }
    }

private:
    void Pend(int x, int y) {
        m_pending.x[m_pending.count] = x;
        m_pending.y[m_pending.count] = y;
        if (++m_pending.count == 4) {
            Finish();
        }
    }

    const ShadeTarget& m_target;
    const AtlasTriangle& m_t;
    const WrittenFlags& m_flags;
    const bool m_eightLanes;
    PixelGroup m_pending;
};

// The triangle's pixels in rows [rowBegin, rowEnd), as ShadeKernels::shadeTriangle.
template <class Lanes>
void WalkTriangle(const ShadeTarget& target, const AtlasTriangle& t, const TriangleSetup& setup,
                  const WrittenFlags& flags, int rowBegin, int rowEnd, bool eightLanes) {
    SpanWalk<Lanes> walk(target, t, flags, eightLanes);
    setup.ForEachSpan(rowBegin, rowEnd,
                      [&](int y, int xBegin, int xEnd) { walk.Span(y, xBegin, xEnd); });
    walk.Finish();
}

} // namespace vm::bake
