// The picture surface: a persistent pixel image that the line renderers write
// and the sprite renderer reads back. It is the machine's only frame buffer:
// pixels keep their value until overwritten or cleared, so lines a renderer
// skips still show an earlier frame. The front end shows it on refresh; the
// headless runner writes it as PNG. Colour values use the layout 0x00BBGGRR.
//
// Ownership: the host owns the surface (Host::Screen); the renderers only
// borrow it for the length of one call.
#pragma once

#include <array>
#include <cstdint>

namespace wenlo {

using Color = uint32_t;

// The four shades of the screen, by Game Boy shade 0..3. (The values read the
// same as 0x00RRGGBB, so the front end can show them without swapping.) The
// sprite priority test compares read-back pixels with ShadeColors[0] for exact
// equality, so the surface must hand back exactly what was written.
inline constexpr std::array<Color, 4> ShadeColors = {0xFFFFFF, 0xE7E3E7, 0x525552, 0x000000};

// The Game Boy's screen in its own pixels.
inline constexpr int kScreenWidth = 160;
inline constexpr int kScreenHeight = 144;

// What GetPixel returns outside the drawing area; never equal to a shade.
inline constexpr Color kInvalidColor = 0xFFFFFFFF;

// Machine::DisplayMode values: how many surface pixels stand for one Game Boy
// pixel. Any other value draws nothing.
enum DisplayModes : uint8_t { Mode1x1 = 0, Mode2x2 = 1, Mode2x2Interlaced = 2 };

// Colour value of colour number c (0..3) under palette register p: shade
// (p >> 2c) & 3.
inline Color ShadeOf(uint8_t palette, int c) { return ShadeColors[(palette >> (2 * c)) & 3]; }

// The four colour values of a palette register, indexed by colour number;
// the renderers build this once per line.
inline std::array<Color, 4> PaletteColors(uint8_t palette) {
    return {ShadeOf(palette, 0), ShadeOf(palette, 1), ShadeOf(palette, 2), ShadeOf(palette, 3)};
}

class Surface {
public:
    static constexpr int kMaxWidth = 2 * kScreenWidth;
    static constexpr int kMaxHeight = 2 * kScreenHeight;

    // A 160x144 area, every pixel the back colour (shade 0).
    Surface() { Clear(); }

    // Size of the drawing area in pixels (clamped to 0..kMaxWidth x
    // 0..kMaxHeight). Pixels keep their values across a resize, so a smaller
    // area cuts the image off and a larger one shows the old image where it was.
    void Resize(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }

    // Pixels outside the drawing area are silently ignored: the sprite
    // renderer does not clip at the right edge and relies on this.
    void SetPixel(int x, int y, Color c) {
        if (unsigned(x) < unsigned(width_) && unsigned(y) < unsigned(height_)) pixels_[y * kMaxWidth + x] = c;
    }
    // The value last set, or the back colour after a clear; kInvalidColor
    // outside the drawing area.
    Color GetPixel(int x, int y) const {
        if (unsigned(x) < unsigned(width_) && unsigned(y) < unsigned(height_))
            return pixels_[y * kMaxWidth + x];
        return kInvalidColor;
    }

    // Fills the whole image (also the part outside the drawing area) with the
    // back colour.
    void Clear();
    Color BackColor() const { return back_; }
    // Takes effect at the next Clear; pixels already set keep their value.
    void SetBackColor(Color c) { back_ = c; }

    // Row-major pixels, kMaxWidth per row (only Width() x Height() shown).
    const Color* Pixels() const { return pixels_.data(); }
    static constexpr int Stride() { return kMaxWidth; }

    // Unchecked access to row y (0 <= y < kMaxHeight) for the renderers'
    // inner loops (see video/block_line_internal.h): the caller keeps to 0 <= y < Height() and
    // columns 0..Width()-1, where SetPixel would have written.
    Color* Row(int y) { return pixels_.data() + y * kMaxWidth; }

private:
    int width_ = kScreenWidth;
    int height_ = kScreenHeight;
    Color back_ = ShadeColors[0];
    std::array<Color, kMaxWidth * kMaxHeight> pixels_;
};

// Drawing-area size of a display mode: 160x144, or 320x288 for the 2x2 modes.
inline int ModeWidth(uint8_t mode) { return mode == Mode1x1 ? kScreenWidth : 2 * kScreenWidth; }
inline int ModeHeight(uint8_t mode) { return mode == Mode1x1 ? kScreenHeight : 2 * kScreenHeight; }

// Pixel blocks: the surface pixels that stand for Game Boy pixel (x, y).
//   Mode1x1:           (x, y)
//   Mode2x2:           (2x, 2y) (2x+1, 2y) (2x, 2y+1) (2x+1, 2y+1)
//   Mode2x2Interlaced: (2x, 2y) (2x+1, 2y) (2x, 2y+1)
// The interlaced mode never writes (2x+1, 2y+1): it keeps the back colour of
// the clear that selecting the mode performs, a grid of white dots that costs
// one write per pixel less. x may lie beyond 159 (sprites are not clipped on
// the right); such pixels fall outside the area and are dropped.

// Writes colour c to every pixel of the block of (x, y), in the order above.
template <DisplayModes Mode>
inline void PutBlock(Surface& s, int x, int y, Color c) {
    static_assert(Mode == Mode1x1 || Mode == Mode2x2 || Mode == Mode2x2Interlaced);
    if constexpr (Mode == Mode1x1) {
        s.SetPixel(x, y, c);
    } else {
        const int px = 2 * x, py = 2 * y;
        s.SetPixel(px, py, c);
        s.SetPixel(px + 1, py, c);
        s.SetPixel(px, py + 1, c);
        if constexpr (Mode == Mode2x2) s.SetPixel(px + 1, py + 1, c);
    }
}

// True when at least one pixel of the block of (x, y) holds exactly c. The
// interlaced mode reads only the three pixels it writes.
template <DisplayModes Mode>
inline bool BlockHas(const Surface& s, int x, int y, Color c) {
    static_assert(Mode == Mode1x1 || Mode == Mode2x2 || Mode == Mode2x2Interlaced);
    if constexpr (Mode == Mode1x1) {
        return s.GetPixel(x, y) == c;
    } else {
        const int px = 2 * x, py = 2 * y;
        if (s.GetPixel(px, py) == c || s.GetPixel(px + 1, py) == c || s.GetPixel(px, py + 1) == c)
            return true;
        if constexpr (Mode == Mode2x2) return s.GetPixel(px + 1, py + 1) == c;
        return false;
    }
}

}  // namespace wenlo
