#include "placement/WindowGeometry.h"

#include <algorithm>

namespace {

// Edges in 64 bits: x + width of two 32-bit values always fits.
struct Box {
    std::int64_t left, top, right, bottom;
};

Box BoxOf(const Placement& placement)
{
    return {placement.x, placement.y, std::int64_t{placement.x} + placement.width,
            std::int64_t{placement.y} + placement.height};
}

Box BoxOf(const ScreenRect& rect)
{
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// Length of [aStart, aEnd) inside [bStart, bEnd); 0 when they miss.
std::int64_t Overlap(std::int64_t aStart, std::int64_t aEnd, std::int64_t bStart, std::int64_t bEnd)
{
    return std::max<std::int64_t>(0, std::min(aEnd, bEnd) - std::max(aStart, bStart));
}

// Distance from one span to the other; 0 when they touch or overlap.
std::int64_t Gap(std::int64_t aStart, std::int64_t aEnd, std::int64_t bStart, std::int64_t bEnd)
{
    return std::max<std::int64_t>({0, bStart - aEnd, aStart - bEnd});
}

std::int64_t OverlapWidth(const Box& a, const Box& b)
{
    return Overlap(a.left, a.right, b.left, b.right);
}

std::int64_t OverlapHeight(const Box& a, const Box& b)
{
    return Overlap(a.top, a.bottom, b.top, b.bottom);
}

// Some other part of the window on screen is no help: the caption is what
// the user drags it back by.
bool CaptionReachable(const Box& window, const Box& area, int titleHeight)
{
    const std::int64_t width = window.right - window.left;
    return 3 * OverlapWidth(window, area) >= width && window.top >= area.top &&
           window.top + titleHeight <= area.bottom;
}

// The work area sharing most of the window with it; failing any, the one
// closest to it. Both measures stay far inside 64 bits.
std::size_t NearestArea(const Box& window, const ScreenRect* workAreas, std::size_t count)
{
    std::size_t nearest = 0;
    std::int64_t bestShared = -1;
    std::int64_t bestGap = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const Box area = BoxOf(workAreas[i]);
        const std::int64_t shared = OverlapWidth(window, area) * OverlapHeight(window, area);
        const std::int64_t gap = Gap(window.left, window.right, area.left, area.right) +
                                 Gap(window.top, window.bottom, area.top, area.bottom);
        if (shared != bestShared ? shared > bestShared : gap < bestGap) {
            nearest = i;
            bestShared = shared;
            bestGap = gap;
        }
    }
    return nearest;
}

// A start and a length along one axis, moved and shrunk into [low, high).
void FitSpan(int& start, int& length, int low, int high)
{
    length = std::min(length, high - low);
    start = std::clamp(start, low, high - length);
}

}  // namespace

Placement PlaceOnScreen(Placement saved, const PlacementLimits& limits, const ScreenRect* workAreas,
                        std::size_t workAreaCount)
{
    if (saved.width < limits.minimumWidth || saved.height < limits.minimumHeight) {
        saved.width = defaultWidth;
        saved.height = defaultHeight;
    }
    const Box window = BoxOf(saved);
    for (std::size_t i = 0; i < workAreaCount; ++i)
        if (CaptionReachable(window, BoxOf(workAreas[i]), limits.titleHeight))
            return saved;
    if (workAreaCount == 0)
        return saved;
    const ScreenRect& area = workAreas[NearestArea(window, workAreas, workAreaCount)];
    FitSpan(saved.x, saved.width, area.left, area.right);
    FitSpan(saved.y, saved.height, area.top, area.bottom);
    return saved;
}

bool IsDoubleClick(const Click& first, const Click& second, std::uint32_t doubleClickTime, int rectangleWidth,
                   int rectangleHeight)
{
    const std::uint32_t elapsed = second.time - first.time;
    const std::int64_t dx = std::int64_t{second.x} - first.x;
    const std::int64_t dy = std::int64_t{second.y} - first.y;
    return elapsed <= doubleClickTime && 2 * (dx < 0 ? -dx : dx) <= rectangleWidth &&
           2 * (dy < 0 ? -dy : dy) <= rectangleHeight;
}
