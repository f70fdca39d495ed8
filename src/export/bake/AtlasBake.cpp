#include "export/bake/AtlasBake.h"

#include "export/TextureAtlas.h"
#include "export/bake/ParallelBands.h"
#include "platform/raster/PixelMemory.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vm::bake {

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr float kRowsAhead = 4;

// Pixels a face may touch, inclusive: a pixel more on every side than its corners, for the
// snapping. Empty (left > right) for corners that are not numbers.
struct PixelBox {
    int left, top, right, bottom;
};

PixelBox Box(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c, uint32_t width,
             uint32_t height) {
    for (const RasterVertex* v : {&a, &b, &c}) {
        if (!std::isfinite(v->x) || !std::isfinite(v->y)) {
            return {0, 0, -1, -1};
        }
    }
    auto edge = [](double value, uint32_t size) {
        return static_cast<int>(std::clamp(value, -1.0, static_cast<double>(size)));
    };
    return {edge(std::floor(std::min({a.x, b.x, c.x})) - 1, width),
            edge(std::floor(std::min({a.y, b.y, c.y})) - 1, height),
            edge(std::ceil(std::max({a.x, b.x, c.x})) + 1, width),
            edge(std::ceil(std::max({a.y, b.y, c.y})) + 1, height)};
}

// The triangles of one draw: every vertex placed on the target, and every face's box.
struct AtlasPass {
    std::vector<RasterVertex> vertices;
    std::vector<PixelBox> boxes;

    AtlasPass(const Mesh& mesh, const std::vector<Vec2>& places, uint32_t width, uint32_t height)
        : vertices(mesh.vertices.size()), boxes(mesh.FaceCount()) {
        for (size_t v = 0; v < vertices.size(); ++v) {
            vertices[v] = AtlasVertex(mesh.vertices[v], places[v], width, height);
        }
        for (uint32_t f = 0; f < mesh.FaceCount(); ++f) {
            boxes[f] = Box(vertices[mesh.indices[f * 3]], vertices[mesh.indices[f * 3 + 1]],
                           vertices[mesh.indices[f * 3 + 2]], width, height);
        }
    }
};

// Which 8 x 8 tiles of a band are written all over: an enlarged triangle whose box lies in such
// tiles only has nothing left to draw, which inside the head is nearly every one.
class WrittenTiles {
public:
    // written: the band's flags, width a row.
    WrittenTiles(const uint8_t* written, int width, int rowBegin, int rowEnd)
        : m_rowBegin(rowBegin), m_rowEnd(rowEnd), m_columns((width + kSize - 1) / kSize),
          m_full(static_cast<size_t>((rowEnd - rowBegin + kSize - 1) / kSize) *
                     static_cast<size_t>(m_columns),
                 1) {
        for (int y = rowBegin; y < rowEnd; ++y, written += width) {
            uint8_t* full = &m_full[static_cast<size_t>((y - rowBegin) / kSize) *
                                    static_cast<size_t>(m_columns)];
            int x = 0;
            for (; x + kSize <= width; x += kSize) {
                full[x / kSize] &= static_cast<uint8_t>(AllWritten(written + x));
            }
            for (; x < width; ++x) {
                full[x / kSize] &= written[x];
            }
        }
    }

    bool Covers(const PixelBox& box) const {
        const int top = std::max(box.top, m_rowBegin), bottom = std::min(box.bottom, m_rowEnd - 1);
        const int left = std::max(box.left, 0) / kSize;
        const int right = std::min(box.right / kSize, m_columns - 1);
        for (int ty = (top - m_rowBegin) / kSize; ty <= (bottom - m_rowBegin) / kSize; ++ty) {
            for (int tx = left; tx <= right; ++tx) {
                if (!m_full[static_cast<size_t>(ty) * static_cast<size_t>(m_columns) +
                            static_cast<size_t>(tx)]) {
                    return false;
                }
            }
        }
        return true;
    }

private:
    static constexpr int kSize = 8;
    int m_rowBegin, m_rowEnd, m_columns;
    std::vector<uint8_t> m_full;
};

// Bakes the atlas band by band; every pixel is decided within its own row, so bands are
// independent. Within a band the triangles are drawn from the last to the first, the exact ones
// before the enlarged ones, and a pixel, once written, keeps its colour: that is the picture of
// drawing the enlarged triangles and then the exact ones in mesh order, each over the other,
// with every pixel shaded once.
class AtlasBake {
public:
    AtlasBake(const Mesh& mesh, const TextureSampler& front, const TextureSampler& side,
              QImage& image, float dilationFactor, const ShadeKernels& kernels)
        : m_mesh(mesh),
          m_target{front, side, image.bits(), static_cast<size_t>(image.bytesPerLine())},
          m_kernels(kernels), m_width(image.width()), m_height(image.height()),
          m_written(static_cast<size_t>(m_width) * static_cast<size_t>(m_height)) {
        const auto width = static_cast<uint32_t>(m_width), height = static_cast<uint32_t>(m_height);
        std::vector<Vec2> exact(mesh.vertices.size());
        for (size_t v = 0; v < mesh.vertices.size(); ++v) {
            exact[v] = mesh.vertices[v].modelUV;
        }
        m_passes.emplace_back(mesh, exact, width, height);
        if (dilationFactor != 1.0f) {
            m_passes.emplace_back(mesh, DilatedAtlasPositions(mesh, dilationFactor), width, height);
        }
        m_eightLanes = kernels.eightLanes && EightLanesReach(front) && EightLanesReach(side);
    }

    int Height() const { return m_height; }

    void BakeRows(int rowBegin, int rowEnd) {
        std::memset(Written(rowBegin), 0,
                    static_cast<size_t>(rowEnd - rowBegin) * static_cast<size_t>(m_width));
        DrawPass(m_passes.front(), rowBegin, rowEnd, nullptr);
        if (m_passes.size() > 1) {
            const WrittenTiles tiles(Written(rowBegin), m_width, rowBegin, rowEnd);
            DrawPass(m_passes.back(), rowBegin, rowEnd, &tiles);
        }
        for (int y = rowBegin; y < rowEnd; ++y) {
            WhitenUnwritten(y);
        }
    }

private:
    uint8_t* Written(int y) { return m_flags.Row(y); }

    void WhitenUnwritten(int y) {
        const uint8_t* written = Written(y);
        uint32_t* row = m_target.Row(y);
        for (int x = 0; x < m_width; ++x) {
            if (x % 8 == 0 && x + 8 <= m_width && AllWritten(written + x)) {
                x += 7;
                continue;
            }
            if (!written[x]) {
                std::memcpy(row + x, &kWhite, 4);
            }
        }
    }

    void DrawPass(const AtlasPass& pass, int rowBegin, int rowEnd, const WrittenTiles* tiles) {
        for (uint32_t f = m_mesh.FaceCount(); f-- > 0;) {
            const PixelBox& box = pass.boxes[f];
            if (box.left > box.right || box.bottom < rowBegin || box.top >= rowEnd) {
                continue;
            }
            if (tiles && tiles->Covers(box)) {
                continue;
            }
            DrawFace(pass, f, rowBegin, rowEnd);
        }
    }

    // How far the photo places of the triangle's pixels move in kRowsAhead rows, in bytes.
    static int64_t PhotoStepAhead(const AtlasTriangle& t, int u, const TextureSampler& photo) {
        auto texels = [&](int k, uint32_t size) {
            const float steps = t.perY[k] * static_cast<float>(size) * kRowsAhead;
            return std::isfinite(steps) ? static_cast<int64_t>(std::clamp(steps, -1e5f, 1e5f)) : 0;
        };
        return texels(u, photo.Width()) * 4 +
               texels(u + 1, photo.Height()) * static_cast<int64_t>(photo.Pitch());
    }

    void DrawFace(const AtlasPass& pass, uint32_t f, int rowBegin, int rowEnd) {
        const RasterVertex& v0 = pass.vertices[m_mesh.indices[f * 3]];
        const RasterVertex& v1 = pass.vertices[m_mesh.indices[f * 3 + 1]];
        const RasterVertex& v2 = pass.vertices[m_mesh.indices[f * 3 + 2]];
        RasterState state;
        state.depthTest = DepthTest::Off;
        state.depthWrite = false;
        state.cull = CullMode::None;
        TriangleSetup setup;
        AtlasTriangle triangle;
        if (!setup.Prepare(state, v0, v1, v2, m_width, m_height) ||
            !MakeTriangle(v0, v1, v2, triangle)) {
            return;
        }
        triangle.ahead[0] = PhotoStepAhead(triangle, FrontU, m_target.front);
        triangle.ahead[1] = PhotoStepAhead(triangle, SideU, m_target.side);
        m_kernels.shadeTriangle(m_target, triangle, setup, m_flags, rowBegin, rowEnd, m_eightLanes);
    }

    const Mesh& m_mesh;
    const ShadeTarget m_target;
    const ShadeKernels& m_kernels;
    const int m_width, m_height;
    PixelBuffer m_written;           // 1 where a triangle has drawn
    std::vector<AtlasPass> m_passes; // exact first
    const WrittenFlags m_flags{m_written.data(), m_width};
    bool m_eightLanes = false; // the kernels' eight-pixel shading may be used
};

} // namespace

void BakeAtlas(const Mesh& mesh, const TextureSampler& front, const TextureSampler& side,
               QImage& image, float dilationFactor, const ShadeKernels& kernels) {
    AtlasBake bake(mesh, front, side, image, dilationFactor, kernels);
    // Several bands per core keep the cores busy to the end although the head covers some rows
    // more densely than others.
    const int workers = std::min(BandWorkers(), 16);
    const int rows = bake.Height();
    const int bandRows = std::max(8, (rows + workers * 8 - 1) / (workers * 8));
    const int bandCount = (rows + bandRows - 1) / bandRows;
    ForEachBand(bandCount, [&](int band) {
        bake.BakeRows(band * bandRows, std::min(rows, (band + 1) * bandRows));
    });
}

} // namespace vm::bake
