#include "console/Layout.h"

namespace {

// Rounds value * numerator / denominator to the nearest integer.
int Scale(int value, int numerator, int denominator)
{
    long long product = static_cast<long long>(value) * numerator;
    return static_cast<int>((2 * product + denominator) / (2LL * denominator));
}

}  // namespace

PixelSize DesignClientSize(int dpi)
{
    return {Scale(DesignClientWidth, dpi, TwipsPerInch), Scale(DesignClientHeight, dpi, TwipsPerInch)};
}

PixelRect ScaleRect(const TwipRect& rect, PixelSize client)
{
    // Edges, not sizes, are scaled: rounding each edge once keeps adjacent
    // controls adjacent at every size.
    int left = Scale(rect.left, client.width, DesignClientWidth);
    int right = Scale(rect.left + rect.width, client.width, DesignClientWidth);
    int top = Scale(rect.top, client.height, DesignClientHeight);
    int bottom = Scale(rect.top + rect.height, client.height, DesignClientHeight);
    return {left, top, right - left, bottom - top};
}
