#pragma once

#include <array>
#include <string>

// The window as designed, in twips, and its conversion to pixels.

struct TwipRect {
    int left;
    int top;
    int width;
    int height;
};

struct PixelRect {
    int left;
    int top;
    int width;
    int height;
    bool operator==(const PixelRect&) const = default;
};

struct PixelSize {
    int width;
    int height;
    bool operator==(const PixelSize&) const = default;
};

enum class ControlKind { LogBox, Button };

struct ControlDesign {
    int id;
    ControlKind kind;
    const wchar_t* caption;
    TwipRect rect;
    bool enabledAtStart;
};

inline constexpr int TxtMsgId = 101;
inline constexpr int CmdLoadId = 102;
inline constexpr int CmdDeleteId = 103;
inline constexpr int CmdCreateId = 104;
inline constexpr int CmdCloseId = 105;

inline constexpr int DesignClientWidth = 9135;
inline constexpr int DesignClientHeight = 5670;
inline constexpr int TwipsPerInch = 1440;

// In tab order: txtMsg, cmdLoad, cmdDelete, cmdCreate, cmdClose.
inline constexpr std::array<ControlDesign, 5> Controls{{
    {TxtMsgId, ControlKind::LogBox, L"", {90, 90, 8955, 4890}, true},
    {CmdLoadId, ControlKind::Button, L"&Load", {90, 5205, 1335, 375}, true},
    {CmdDeleteId, ControlKind::Button, L"&Delete", {1485, 5205, 1335, 375}, false},
    {CmdCreateId, ControlKind::Button, L"&Create", {2880, 5205, 1335, 375}, true},
    {CmdCloseId, ControlKind::Button, L"&Close", {7710, 5205, 1335, 375}, true},
}};

// The client area as designed, at `dpi` pixels an inch.
[[nodiscard]] PixelSize DesignClientSize(int dpi);

// A control's rectangle when the designed client area is stretched to
// `client`: every edge moves in proportion, so neighbours never overlap.
[[nodiscard]] PixelRect ScaleRect(const TwipRect& rect, PixelSize client);
