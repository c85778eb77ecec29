// Internal to video/: included only by the line renderers (background.cpp,
// sprites.cpp) and their unit tests.
//
// The line renderers' fast path onto the surface: the pixel blocks of one
// Game Boy line written and read through raw row pointers, without a bounds
// test per pixel, one block at a time or two neighbouring blocks at once.
// Every write touches exactly the pixels PutBlock would (video/surface.h):
// the interlaced mode never writes the lower right pixel of a block.
//
// Only the leading Columns() columns may be used: those whose whole block
// lies inside the drawing area (none when the line's surface rows do not).
// Anything else goes through PutBlock and BlockHas, which clip.
//
// A BlockLine borrows the surface for the length of one renderer call; a
// Resize in between makes it stale.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "video/surface.h"

namespace wenlo {

// Two neighbouring Game Boy pixels as one surface row shows them: (left,
// right) in Mode1x1, (left, left, right, right) in the 2x2 modes. Tables of
// sixteen are indexed like a tile row pattern's pair byte (video/tile_row_internal.h):
// left colour number << 2 | right colour number.
template <DisplayModes Mode>
inline constexpr size_t kPairRowPixels = Mode == Mode1x1 ? 2 : 4;

template <DisplayModes Mode>
using PairRow = std::array<Color, kPairRowPixels<Mode>>;

template <DisplayModes Mode>
using PairTable = std::array<PairRow<Mode>, 16>;

// The pair rows of all sixteen pairs of colour numbers given their four
// colour values.
template <DisplayModes Mode>
constexpr PairTable<Mode> MakePairTable(const std::array<Color, 4>& colours) {
    PairTable<Mode> table{};
    for (int left = 0; left < 4; ++left)
        for (int right = 0; right < 4; ++right) {
            if constexpr (Mode == Mode1x1)
                table[left << 2 | right] = {colours[left], colours[right]};
            else
                table[left << 2 | right] = {colours[left], colours[left], colours[right], colours[right]};
        }
    return table;
}

// The Mode1x1 pair tables of all 256 palette register values, made at
// compile time (32 KiB): a 1x1 line only picks its palette's table, where
// building one would cost as much as drawing a few tiles.
inline constexpr std::array<PairTable<Mode1x1>, 256> kPalettePairs1x1 = [] {
    std::array<PairTable<Mode1x1>, 256> tables{};
    for (int palette = 0; palette < 256; ++palette)
        tables[palette] =
            MakePairTable<Mode1x1>({ShadeColors[palette & 3], ShadeColors[(palette >> 2) & 3],
                                    ShadeColors[(palette >> 4) & 3], ShadeColors[(palette >> 6) & 3]});
    return tables;
}();

// The pair table of a palette register for one line: a reference to the
// ready-made one in Mode1x1, built on the spot in the 2x2 modes.
template <DisplayModes Mode>
decltype(auto) PalettePairs(uint8_t palette) {
    if constexpr (Mode == Mode1x1)
        return (kPalettePairs1x1[palette]);
    else
        return MakePairTable<Mode>(PaletteColors(palette));
}

// The colour value of colour number c in a pair table: the right pixel of
// the pair (0, c).
template <DisplayModes Mode>
Color PairColour(const PairTable<Mode>& table, int c) {
    return table[c].back();
}

// For sprites, where colour 0 is transparent: by pair of colour numbers, all
// ones in the surface pixels of an opaque pixel (colour 1..3), zero where the
// surface shows through. Lower is the same for the lower surface row, where
// the interlaced mode never draws the odd pixels (its grid dots).
template <DisplayModes Mode, bool Lower = false>
inline constexpr PairTable<Mode> kOpaquePixels = [] {
    PairTable<Mode> table{};
    const int perPixel = Mode == Mode1x1 ? 1 : 2;
    for (int pair = 0; pair < 16; ++pair)
        for (int i = 0; i < 2 * perPixel; ++i) {
            const int colour = i < perPixel ? pair >> 2 : pair & 3;
            const bool gridDot = Lower && Mode == Mode2x2Interlaced && i % 2 == 1;
            table[pair][i] = colour != 0 && !gridDot ? 0xFFFFFFFFu : 0u;
        }
    return table;
}();

template <DisplayModes Mode>
class BlockLine {
public:
    static_assert(Mode == Mode1x1 || Mode == Mode2x2 || Mode == Mode2x2Interlaced);
    // Surface pixels per Game Boy pixel along each axis.
    static constexpr int kScale = Mode == Mode1x1 ? 1 : 2;

    BlockLine(Surface& s, int y) {
        const int firstRow = kScale * y, lastRow = firstRow + kScale - 1;
        if (y >= 0 && lastRow < s.Height()) {
            top_ = s.Row(firstRow);
            bottom_ = s.Row(lastRow);
            columns_ = s.Width() / kScale;
        }
    }

    int Columns() const { return columns_; }

    // Block x in colour c; as PutBlock.
    void Put(int x, Color c) const {
        Color* const up = Top(x);
        up[0] = c;
        if constexpr (Mode != Mode1x1) {
            Color* const down = Bottom(x);
            up[1] = c;
            down[0] = c;
            if constexpr (Mode == Mode2x2) down[1] = c;
        }
    }

    // Whether block x shows colour c anywhere; as BlockHas.
    bool Has(int x, Color c) const {
        const Color* const up = Top(x);
        if constexpr (Mode == Mode1x1) {
            return up[0] == c;
        } else {
            const Color* const down = Bottom(x);
            if (up[0] == c || up[1] == c || down[0] == c) return true;
            if constexpr (Mode == Mode2x2) return down[1] == c;
            return false;
        }
    }

    // Blocks x..x+3 from two pair rows. Through one buffer the compiler
    // writes each surface row in one go; the interlaced lower row, which
    // takes every other pixel, goes pair by pair.
    void PutTwoPairs(int x, const PairRow<Mode>& first, const PairRow<Mode>& second) const {
        if constexpr (Mode == Mode2x2Interlaced) {
            PutPair(x, first);
            PutPair(x + 2, second);
        } else {
            std::array<Color, 2 * kPairRowPixels<Mode>> row;
            std::memcpy(row.data(), first.data(), sizeof first);
            std::memcpy(row.data() + first.size(), second.data(), sizeof second);
            std::memcpy(Top(x), row.data(), sizeof row);
            if constexpr (Mode == Mode2x2) std::memcpy(Bottom(x), row.data(), sizeof row);
        }
    }

    // Blocks x and x+1 from a pair row.
    void PutPair(int x, const PairRow<Mode>& pair) const {
        std::memcpy(Top(x), pair.data(), sizeof pair);
        if constexpr (Mode == Mode2x2) std::memcpy(Bottom(x), pair.data(), sizeof pair);
        if constexpr (Mode == Mode2x2Interlaced) {
            Color* const down = Bottom(x);
            down[0] = pair[0];
            down[2] = pair[2];
        }
    }

    // Blocks x and x+1 from pair `index` of a table, leaving the surface as
    // it is where the pair has colour 0.
    void BlendPair(int x, const PairTable<Mode>& pairs, int index) const {
        BlendRow(Top(x), pairs[index], kOpaquePixels<Mode>[index]);
        if constexpr (Mode != Mode1x1)
            BlendRow(Bottom(x), pairs[index], kOpaquePixels<Mode, Mode == Mode2x2Interlaced>[index]);
    }

private:
    // The first surface pixel of block x in its upper and lower row (the
    // same row in Mode1x1).
    Color* Top(int x) const { return top_ + kScale * x; }
    Color* Bottom(int x) const { return bottom_ + kScale * x; }

    // Read, blend and write back one whole pair row: as one 64-bit word in
    // Mode1x1, else lane by lane, which the compiler keeps in one vector
    // register.
    static void BlendRow(Color* to, const PairRow<Mode>& pair, const PairRow<Mode>& opaque) {
        if constexpr (Mode == Mode1x1) {
            static_assert(sizeof(PairRow<Mode>) == sizeof(uint64_t));
            uint64_t row, in, mask;
            std::memcpy(&row, to, sizeof row);
            std::memcpy(&in, pair.data(), sizeof in);
            std::memcpy(&mask, opaque.data(), sizeof mask);
            row ^= (row ^ in) & mask;
            std::memcpy(to, &row, sizeof row);
        } else {
            PairRow<Mode> row;
            std::memcpy(row.data(), to, sizeof row);
            for (size_t i = 0; i < row.size(); ++i) row[i] ^= (row[i] ^ pair[i]) & opaque[i];
            std::memcpy(to, row.data(), sizeof row);
        }
    }

    Color* top_ = nullptr;
    Color* bottom_ = nullptr;
    int columns_ = 0;
};

}  // namespace wenlo
