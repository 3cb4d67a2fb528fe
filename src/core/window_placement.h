// Where the main window and the Capture window come back on screen, and what is remembered of them.
// Pure rules over plain numbers: the window code reads the stored values, asks these functions and
// applies the answer.
#pragma once

#include <cstdint>
#include <optional>

namespace zorv::core {

struct ScreenSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

struct WindowRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::int32_t width() const { return right - left; }
    std::int32_t height() const { return bottom - top; }
    friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

inline constexpr std::int32_t kShowNormal = 1;
inline constexpr std::int32_t kShowMinimized = 2;
inline constexpr std::int32_t kShowMaximized = 3;

// Main window placement: the normal (restored) rectangle and the show state.
struct MainPlacement {
    WindowRect normal;
    std::int32_t showState = kShowNormal;
    friend bool operator==(const MainPlacement&, const MainPlacement&) = default;
};

// The stored main-window values RMWx, RMWy, RMWw, RMWh, RMWs (defaults -1, -1, -1, -1, 1).
struct StoredMainPlacement {
    std::int32_t x = -1;
    std::int32_t y = -1;
    std::int32_t width = -1;
    std::int32_t height = -1;
    std::int32_t showState = kShowNormal;
    friend bool operator==(const StoredMainPlacement&, const StoredMainPlacement&) = default;
};

// The placement to apply at start-up, or nothing when the stored values are unset, negative or put
// less than 20 pixels of the window on the primary screen (the default placement is used then).
// A window running past the right or bottom edge is shortened to end at it; any show state other
// than maximised comes back as normal.
std::optional<MainPlacement> restoreMainPlacement(const StoredMainPlacement& stored, ScreenSize screen);

// The values to store at exit from the window's current placement.
StoredMainPlacement storedFromMainPlacement(const MainPlacement& placement);

// Default main window: a window of the given outer size (video area 360 x 240 plus its frame and
// controls) at `current`'s top-left, moved left and up as far as needed to keep it on the screen.
WindowRect fitDefaultMainWindow(WindowRect current, std::int32_t width, std::int32_t height, ScreenSize screen);

// The stored Capture window values RCWx, RCWy, RCWh (default -1 each); its width is fixed.
struct StoredCapturePlacement {
    std::int32_t x = -1;
    std::int32_t y = -1;
    std::int32_t height = -1;
    friend bool operator==(const StoredCapturePlacement&, const StoredCapturePlacement&) = default;
};

// The Capture window rectangle to apply when it opens, or nothing to keep the template placement.
// templateWidth and templateHeight are the window's size from its template (the height is the
// smallest allowed).
std::optional<WindowRect> restoreCapturePlacement(const StoredCapturePlacement& stored, std::int32_t templateWidth,
                                                  std::int32_t templateHeight, ScreenSize screen);

// The values to store when the Capture window closes.
StoredCapturePlacement storedFromCaptureRect(const WindowRect& rect);

}  // namespace zorv::core
