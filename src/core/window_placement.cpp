#include "core/window_placement.h"

#include <algorithm>

namespace zorv::core {

namespace {

// At least this many pixels of a restored window must lie on the screen.
constexpr std::int64_t kMinVisible = 20;

std::int32_t narrow(std::int64_t v) { return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

std::optional<MainPlacement> restoreMainPlacement(const StoredMainPlacement& s, ScreenSize screen) {
    if (s.x <= -1 || s.y < 0 || s.width < 0 || s.height < 0) return std::nullopt;
    const std::int64_t sw = screen.width, sh = screen.height;
    const std::int64_t x = s.x, y = s.y;
    std::int64_t w = s.width, h = s.height;
    if (!(x < sw - kMinVisible && y < sh - kMinVisible)) return std::nullopt;
    if (x + w > sw) w = sw - x;
    if (y + h > sh) h = sh - y;
    MainPlacement p;
    p.normal = WindowRect{narrow(x), narrow(y), narrow(x + w), narrow(y + h)};
    p.showState = s.showState == kShowMaximized ? kShowMaximized : kShowNormal;
    return p;
}

StoredMainPlacement storedFromMainPlacement(const MainPlacement& p) {
    StoredMainPlacement s;
    s.x = p.normal.left;
    s.y = p.normal.top;
    s.width = narrow(std::int64_t{p.normal.right} - p.normal.left);
    s.height = narrow(std::int64_t{p.normal.bottom} - p.normal.top);
    s.showState = p.showState;
    return s;
}

WindowRect fitDefaultMainWindow(WindowRect current, std::int32_t width, std::int32_t height, ScreenSize screen) {
    std::int64_t x = current.left, y = current.top;
    if (x + width > screen.width) x = std::int64_t{screen.width} - width;
    if (y + height > screen.height) y = std::int64_t{screen.height} - height;
    x = std::max<std::int64_t>(x, 0);
    y = std::max<std::int64_t>(y, 0);
    return WindowRect{narrow(x), narrow(y), narrow(x + width), narrow(y + height)};
}

std::optional<WindowRect> restoreCapturePlacement(const StoredCapturePlacement& s, std::int32_t templateWidth,
                                                  std::int32_t templateHeight, ScreenSize screen) {
    if (s.height < templateHeight) return std::nullopt;
    const std::int64_t sw = screen.width, sh = screen.height;
    const std::int64_t w = templateWidth, h0 = templateHeight;
    std::int64_t x = std::max(s.x, 0), y = std::max(s.y, 0), h = s.height;
    if (!(x < sw - kMinVisible && y < sh - kMinVisible)) return std::nullopt;
    if (x + w > sw) x = sw - w;
    if (y + h > sh) h = sh - y;
    if (h < h0) {
        y = sh - h0;
        h = h0;
    }
    return WindowRect{narrow(x), narrow(y), narrow(x + w), narrow(y + h)};
}

StoredCapturePlacement storedFromCaptureRect(const WindowRect& r) {
    return StoredCapturePlacement{r.left, r.top, narrow(std::int64_t{r.bottom} - r.top)};
}

}  // namespace zorv::core
