// The placement rule on any saved placement and any monitors a desk can have.
// The bytes are little-endian 32-bit numbers: the saved x, y, width and
// height; the smallest width and height and the caption's height; then left,
// top, right and bottom of each work area (up to 16, as many as are given).
#include "tests/fuzz/FuzzCheck.h"
#include "placement/WindowGeometry.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Windows keeps window and monitor coordinates in 16 bits.
constexpr int screenLow = -32768;
constexpr int screenHigh = 32767;

struct Numbers {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;

    std::size_t Left() const { return at < size ? (size - at) / 4 : 0; }

    std::int32_t Next()
    {
        std::int32_t value = 0;
        if (at + 4 <= size)
            std::memcpy(&value, data + at, 4);  // the fuzzing machines are little-endian
        at += 4;
        return value;
    }
};

bool operator==(const Placement& a, const Placement& b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

std::int64_t Overlap(std::int64_t aStart, std::int64_t aLength, std::int64_t bStart, std::int64_t bEnd)
{
    return std::max<std::int64_t>(0, std::min(aStart + aLength, bEnd) - std::max(aStart, bStart));
}

bool Inside(const Placement& p, const ScreenRect& area)
{
    return p.x >= area.left && p.y >= area.top && std::int64_t{p.x} + p.width <= area.right &&
           std::int64_t{p.y} + p.height <= area.bottom;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Numbers in{data, size};
    const Placement saved = {in.Next(), in.Next(), in.Next(), in.Next()};
    // The limits as the system gives them: a caption lower than the smallest
    // window, which is smaller than the default size.
    PlacementLimits limits;
    limits.minimumWidth = std::clamp(in.Next(), 1, defaultWidth);
    limits.minimumHeight = std::clamp(in.Next(), 2, defaultHeight);
    limits.titleHeight = std::clamp(in.Next(), 1, limits.minimumHeight - 1);
    // Work areas can hold the smallest window.
    std::vector<ScreenRect> areas(std::min<std::size_t>(in.Left() / 4, 16));
    for (ScreenRect& area : areas) {
        area.left = std::clamp(in.Next(), screenLow, screenHigh - limits.minimumWidth);
        area.top = std::clamp(in.Next(), screenLow, screenHigh - limits.minimumHeight);
        area.right = std::clamp(in.Next(), area.left + limits.minimumWidth, screenHigh);
        area.bottom = std::clamp(in.Next(), area.top + limits.minimumHeight, screenHigh);
    }

    const Placement placed = PlaceOnScreen(saved, limits, areas.data(), areas.size());
    Require(placed.width >= limits.minimumWidth && placed.height >= limits.minimumHeight, "a usable size");
    Require(PlaceOnScreen(placed, limits, areas.data(), areas.size()) == placed,
            "a placement the rule gave opens there again");
    if (areas.empty())
        return 0;
    Require(std::any_of(areas.begin(), areas.end(),
                        [&](const ScreenRect& area) {
                            return Overlap(placed.x, placed.width, area.left, area.right) > 0 &&
                                   placed.y >= area.top && placed.y + limits.titleHeight <= area.bottom;
                        }),
            "the caption's rows are on a work area");
    const bool usableSize = saved.width >= limits.minimumWidth && saved.height >= limits.minimumHeight;
    Require(!usableSize || std::none_of(areas.begin(), areas.end(),
                                        [&](const ScreenRect& area) { return Inside(saved, area); }) ||
                placed == saved,
            "a window inside a work area stays where it was");
    const bool moved = placed.x != saved.x || placed.y != saved.y;
    Require(!moved || std::any_of(areas.begin(), areas.end(),
                                  [&](const ScreenRect& area) { return Inside(placed, area); }),
            "a window brought back lies inside a work area");
    return 0;
}
