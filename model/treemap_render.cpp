#include "model/treemap_render.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace sizewalk {
namespace {

// The kinds' colours, in FileKind's order: the colour at the top of a flat
// cushion.
constexpr std::uint32_t kKindColors[kFileKindCount] = {
    0xFFD04FD0u,  // images: magenta
    0xFFE8473Fu,  // video: red
    0xFFF39A2Eu,  // audio: orange
    0xFFE3D33Bu,  // archives: yellow
    0xFF3F86F0u,  // documents: blue
    0xFF4EC25Au,  // source code: green
    0xFF39C4CFu,  // programs and libraries: cyan
    0xFFB49A7Cu,  // other: tan
};

// z = a2x*x^2 + a1x*x + a2y*y^2 + a1y*y: the sum of the ridges above a tile.
struct Surface {
    double a2x = 0, a1x = 0, a2y = 0, a1y = 0;
};

// A parabolic ridge of height h*(side) over [lo, hi) on one axis; its slope at
// the edges is 4h whatever the side, so small and large tiles look alike.
void AddRidge(double lo, double hi, double h, double& a2, double& a1) {
    double w = hi - lo;
    if (w <= 0.0) return;
    double k = 4.0 * h / w;
    a1 += k * (hi + lo);
    a2 -= k;
}

struct Light {
    float x, y, z;
    float ambient, diffuse;
};

class CShader {
public:
    CShader(std::span<std::uint32_t> pixels, int width, const Light& light)
        : m_pixels(pixels), m_nWidth(width), m_light(light) {}

    void Fill(TreemapRect r, const Surface& s, std::uint32_t color) {
        const int w = r.Width(), h = r.Height();
        if (w == 0 || h == 0) return;
        m_nx.resize(static_cast<std::size_t>(w));
        for (int i = 0; i < w; ++i) {
            double x = r.x0 + i + 0.5;
            m_nx[i] = static_cast<float>(-(2.0 * s.a2x * x + s.a1x));
        }
        const float cr = static_cast<float>((color >> 16) & 0xFF);
        const float cg = static_cast<float>((color >> 8) & 0xFF);
        const float cb = static_cast<float>(color & 0xFF);
        const float lx = m_light.x, amb = m_light.ambient, dif = m_light.diffuse;
        const float* nxs = m_nx.data();
        for (int row = r.y0; row < r.y1; ++row) {
            double y = row + 0.5;
            float ny = static_cast<float>(-(2.0 * s.a2y * y + s.a1y));
            float rowLit = ny * m_light.y + m_light.z;
            float rowLen = ny * ny + 1.0f;
            std::uint32_t* out = m_pixels.data() + static_cast<std::size_t>(row) * m_nWidth + r.x0;
            for (int i = 0; i < w; ++i) {
                float nx = nxs[i];
                float cosa = (nx * lx + rowLit) / std::sqrt(nx * nx + rowLen);
                float lit = amb + dif * std::max(cosa, 0.0f);
                auto channel = [lit](float c) {
                    return static_cast<std::uint32_t>(std::min(c * lit + 0.5f, 255.0f));
                };
                out[i] = 0xFF000000u | channel(cr) << 16 | channel(cg) << 8 | channel(cb);
            }
        }
    }

private:
    std::span<std::uint32_t> m_pixels;
    int m_nWidth;
    Light m_light;
    std::vector<float> m_nx;
};

// A directory's frame: one pixel inside its edges at three eighths of its
// brightness, dark on any colour while the shading stays visible.
void DrawFrame(std::span<std::uint32_t> pixels, int width, TreemapRect r) {
    auto darken = [](std::uint32_t& p) {
        p = 0xFF000000u | (((p >> 2) & 0x3F3F3Fu) + ((p >> 3) & 0x1F1F1Fu));
    };
    std::uint32_t* top = pixels.data() + std::size_t(r.y0) * width;
    std::uint32_t* bottom = pixels.data() + std::size_t(r.y1 - 1) * width;
    for (int x = r.x0; x < r.x1; ++x) {
        darken(top[x]);
        darken(bottom[x]);
    }
    for (int y = r.y0 + 1; y < r.y1 - 1; ++y) {
        darken(pixels[std::size_t(y) * width + r.x0]);
        darken(pixels[std::size_t(y) * width + r.x1 - 1]);
    }
}

// Smaller directories keep their pixels: a frame would be most of them.
constexpr int kMinFrameSide = 6;

}  // namespace

std::uint32_t TreemapKindColor(FileKind kind) {
    auto i = static_cast<std::size_t>(kind);
    return i < std::size(kKindColors) ? kKindColors[i] : kTreemapNeutralColor;
}

std::uint32_t TreemapDimmedColor(std::uint32_t color) {
    // A quarter of the colour over a dark grey: the kinds stay apart, barely.
    auto channel = [color](int shift) {
        return ((color >> shift & 0xFFu) + 3u * 0x50u) / 4u << shift;
    };
    return 0xFF000000u | channel(16) | channel(8) | channel(0);
}

bool RenderTreemap(const CTreemapInput& input, const CTreemapLayout& layout,
                   std::span<std::uint32_t> pixels, const CushionOptions& options,
                   const FileTypeFilter* highlight) {
    const int width = layout.Width(), height = layout.Height();
    if (pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
        return false;
    const std::uint32_t root = layout.Root();
    if (root == kNoNode || width == 0 || height == 0) return true;

    double len = std::sqrt(options.dLightX * options.dLightX + options.dLightY * options.dLightY +
                           options.dLightZ * options.dLightZ);
    if (!(len > 0.0)) len = 1.0;
    const double ambient = std::clamp(options.dAmbient, 0.0, 1.0);
    const Light light{static_cast<float>(options.dLightX / len),
                      static_cast<float>(options.dLightY / len),
                      static_cast<float>(options.dLightZ / len),
                      static_cast<float>(ambient * options.dBrightness),
                      static_cast<float>((1.0 - ambient) * options.dBrightness)};
    CShader shader(pixels, width, light);
    const std::uint32_t neutral =
        highlight ? TreemapDimmedColor(kTreemapNeutralColor) : kTreemapNeutralColor;
    auto fileColor = [highlight](std::string_view name) {
        const std::uint32_t color = TreemapKindColor(ClassifyFileName(name));
        return highlight && !highlight->Matches(name) ? TreemapDimmedColor(color) : color;
    };

    struct Frame {
        std::uint32_t nEnd;
        Surface surface;
        double dHeight;  // the ridge height of this frame's children
    };
    std::vector<Frame> stack;
    std::vector<TreemapRect> frames;  // drawn over the cushions at the end
    const std::uint32_t count = input.Count();
    const std::uint32_t end = std::min(input.SubtreeEnd(root), count);
    Surface top;
    double height0 = options.dHeight;
    for (std::uint32_t i = root; i < std::max(end, root + 1);) {
        while (!stack.empty() && i >= stack.back().nEnd) stack.pop_back();
        // The stack holds the node's directories from the root down: its
        // size is the node's level below the root.
        const int level = static_cast<int>(stack.size());
        const Surface& parent = stack.empty() ? top : stack.back().surface;
        const double h = stack.empty() ? height0 : stack.back().dHeight;
        const std::uint32_t next = std::max(input.SubtreeEnd(i), i + 1);
        TreemapRect rect = layout.Rect(i);
        if (rect.IsEmpty()) {
            // A merged child keeps its parent's remainder: the parent shows there.
            TreemapRect rest = layout.Remainder(i);
            if (!rest.IsEmpty()) shader.Fill(rest, parent, neutral);
            i = next;
            continue;
        }
        Surface s = parent;
        AddRidge(rect.x0, rect.x1, h, s.a2x, s.a1x);
        AddRidge(rect.y0, rect.y1, h, s.a2y, s.a1y);
        if (!input.IsDirectory(i)) {
            shader.Fill(rect, s, fileColor(input.Name(i)));
        } else if (next == i + 1) {
            shader.Fill(rect, s, neutral);  // an empty directory
        } else {
            stack.push_back({next, s, h * options.dScaleFactor});
        }
        if (level >= 1 && level <= options.nFrameLevels && input.IsDirectory(i) &&
            rect.Width() >= kMinFrameSide && rect.Height() >= kMinFrameSide)
            frames.push_back(rect);
        ++i;
    }
    for (const TreemapRect& r : frames) DrawFrame(pixels, width, r);
    return true;
}

void DrawTreemapOutline(std::span<std::uint32_t> pixels, int width, int height, TreemapRect rect,
                        int thickness) {
    if (width <= 0 || height <= 0 || thickness <= 0) return;
    if (pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) return;
    const int x0 = std::min<int>(rect.x0, width), x1 = std::min<int>(rect.x1, width);
    const int y0 = std::min<int>(rect.y0, height), y1 = std::min<int>(rect.y1, height);
    const int outer = (thickness + 1) / 2;
    for (int ring = 0; ring < thickness; ++ring) {
        const int l = x0 + ring, t = y0 + ring, r = x1 - 1 - ring, b = y1 - 1 - ring;
        if (l > r || t > b) break;
        const std::uint32_t color = ring < outer ? 0xFFFFFFFFu : 0xFF000000u;
        auto row = [&](int y) {
            std::fill_n(pixels.data() + std::size_t(y) * width + l, r - l + 1, color);
        };
        row(t);
        row(b);
        for (int y = t + 1; y < b; ++y) {
            pixels[std::size_t(y) * width + l] = color;
            pixels[std::size_t(y) * width + r] = color;
        }
    }
}

}  // namespace sizewalk
