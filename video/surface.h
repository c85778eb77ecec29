// The picture surface: a persistent pixel image that the line renderers write
// and the sprite renderer reads back. The front end shows it; the headless
// runner writes it as PNG. Colour values use the layout 0x00BBGGRR.
#pragma once

#include <array>
#include <cstdint>

namespace wenlo {

using Color = uint32_t;

// The four shades of the screen, by Game Boy shade 0..3. (The values read the
// same as 0x00RRGGBB, so the front end can show them without swapping.)
inline constexpr std::array<Color, 4> ShadeColors = {0xFFFFFF, 0xE7E3E7, 0x525552, 0x000000};

// What GetPixel returns outside the drawing area; never equal to a shade.
inline constexpr Color kInvalidColor = 0xFFFFFFFF;

enum DisplayModes : uint8_t { Mode1x1 = 0, Mode2x2 = 1, Mode2x2Interlaced = 2 };

// Colour value of colour number c (0..3) under palette register p.
inline Color ShadeOf(uint8_t palette, int c) { return ShadeColors[(palette >> (2 * c)) & 3]; }

class Surface {
public:
    static constexpr int kMaxWidth = 320;
    static constexpr int kMaxHeight = 288;

    Surface() { Clear(); }

    // Size of the drawing area in pixels (at most kMaxWidth x kMaxHeight).
    // Pixels keep their values across a resize, so a smaller area cuts the
    // image off and a larger one shows the old image where it was.
    void Resize(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }

    // Pixels outside the drawing area are silently ignored.
    void SetPixel(int x, int y, Color c) {
        if (unsigned(x) < unsigned(width_) && unsigned(y) < unsigned(height_))
            pixels_[y * kMaxWidth + x] = c;
    }
    // The value last set, or the back colour after a clear; kInvalidColor
    // outside the drawing area.
    Color GetPixel(int x, int y) const {
        if (unsigned(x) < unsigned(width_) && unsigned(y) < unsigned(height_))
            return pixels_[y * kMaxWidth + x];
        return kInvalidColor;
    }

    // Fills the whole image with the back colour.
    void Clear();
    Color BackColor() const { return back_; }
    void SetBackColor(Color c) { back_ = c; }

    // Row-major pixels, kMaxWidth per row (only Width() x Height() shown).
    const Color* Pixels() const { return pixels_.data(); }
    static constexpr int Stride() { return kMaxWidth; }

private:
    int width_ = 160;
    int height_ = 144;
    Color back_ = ShadeColors[0];
    std::array<Color, kMaxWidth * kMaxHeight> pixels_;
};

// Drawing-area size of a display mode: 160x144, or 320x288 for the 2x2 modes.
inline int ModeWidth(uint8_t mode) { return mode == Mode1x1 ? 160 : 320; }
inline int ModeHeight(uint8_t mode) { return mode == Mode1x1 ? 144 : 288; }

}  // namespace wenlo
