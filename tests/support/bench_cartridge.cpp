// The benchmark cartridge. Its program is written out byte by byte, one
// instruction per line with its mnemonic; the data (tile patterns and three
// sprite tables) is generated here.
//
// What it keeps the machine busy with:
//  - the main loop calls a routine of loads, 8- and 16-bit arithmetic, a
//    rotate, a CB-prefixed SWAP and stack traffic, and writes each result
//    into the background map (video RAM), walking the whole map;
//  - the VBlank handler (0x40) reloads the sprite table by DMA, scrolls the
//    background by one pixel in both directions and counts frames;
//  - the LCD-status handler (0x48) fires after lines 63 and 127 and reloads
//    the sprite table for the next 64-line band, so that with 8x16 sprites
//    the 40 entries cover every visible line with spritesPerLine sprites
//    (4 rows of 16 lines per band, spritesPerLine columns);
//  - the display is on with 8x16 sprites and tiles at 0x8000 (LCDC 0x97);
//    all 256 tiles hold patterns, so every background pixel costs real work.
//
// Memory used: 0xC000 mix state, 0xC001 second counter, 0xC002-0xC003 frame
// count (little-endian), stack from 0xFFFE down.
#include <stdexcept>

#include "core/cartridge_header.h"
#include "core/io_regs.h"
#include "tests/support/rom_builder.h"

namespace wenlo::test {

namespace {

constexpr uint32_t kSpriteTables = 0x1000;  // bands 0, 1, 2 at 0x1000, 0x1100, 0x1200
constexpr uint32_t kTileData = 0x2000;      // 4 KiB copied to 0x8000-0x8FFF

// One sprite attribute table (160 bytes) for band `band`: lines 64*band up to
// 64*band + 63 are crossed by `columns` sprites each.
std::vector<uint8_t> SpriteBand(int band, int columns) {
    // Plain, x-flipped, second palette, behind the background: the last one
    // makes the renderer read the picture back for every opaque pixel.
    static constexpr uint8_t kAttributes[4] = {0x00, 0x20, 0x10, 0x80};
    std::vector<uint8_t> oam(160, 0);
    for (int column = 0; column < columns; ++column) {
        for (int row = 0; row < 4; ++row) {
            const int entry = column * 4 + row;
            oam[size_t(entry) * 4 + 0] = uint8_t(64 * band + 16 * row + 16);  // Y: top line + 16
            oam[size_t(entry) * 4 + 1] = uint8_t(16 * column + 12);           // X: left column + 8
            oam[size_t(entry) * 4 + 2] = uint8_t((entry * 6) & 0xFE);         // even: an 8x16 pair
            oam[size_t(entry) * 4 + 3] = kAttributes[column % 4];
        }
    }
    return oam;
}

// Tile patterns from a small linear congruential generator, with every
// fourth row solid so that tiles are neither blank nor pure noise.
std::vector<uint8_t> TilePatterns() {
    std::vector<uint8_t> tiles(0x1000);
    uint32_t seed = 0x5EED1234;
    for (size_t i = 0; i < tiles.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        tiles[i] = (i % 8 == 6) ? 0xFF : uint8_t(seed >> 24);
    }
    return tiles;
}

}  // namespace

RomBuilder BenchmarkCartridge(int spritesPerLine) {
    if (spritesPerLine < 0 || spritesPerLine > kMaxBenchSprites)
        throw std::invalid_argument("BenchmarkCartridge: spritesPerLine must be 0..10");

    RomBuilder rom(2, cart::kRomOnly, "WENLO BENCH");

    // Interrupt vectors.
    rom.Put(io::InterruptVector(0), {0xC3, 0x20, 0x02});  // jp 0x0220        VBlank
    rom.Put(io::InterruptVector(1), {0xC3, 0x40, 0x02});  // jp 0x0240        LCD status

    // Entry point.
    rom.Put(0x0100, {
                        0x00,              // nop
                        0xC3, 0x50, 0x01,  // jp 0x0150
                    });

    // Start-up: tiles, map, palettes, sprites, LCD and interrupts.
    rom.Put(0x0150, {
                        0xF3,              // 0150 di
                        0x31, 0xFE, 0xFF,  // 0151 ld sp,0xFFFE
                        0x21, 0x00, 0x20,  // 0154 ld hl,0x2000      tile patterns in ROM
                        0x11, 0x00, 0x80,  // 0157 ld de,0x8000
                        0x2A,              // 015A copy: ld a,(hl+)
                        0x12,              // 015B ld (de),a
                        0x13,              // 015C inc de
                        0x7A,              // 015D ld a,d
                        0xFE, 0x90,        // 015E cp 0x90
                        0x20, 0xF8,        // 0160 jr nz,copy
                        0x21, 0x00, 0x98,  // 0162 ld hl,0x9800      map: tile n at column n
                        0x7D,              // 0165 fill: ld a,l
                        0x22,              // 0166 ld (hl+),a
                        0x7C,              // 0167 ld a,h
                        0xFE, 0x9C,        // 0168 cp 0x9C
                        0x20, 0xF9,        // 016A jr nz,fill
                        0x3E, 0xE4,        // 016C ld a,0xE4
                        0xE0, 0x47,        // 016E ldh (BGP),a
                        0x3E, 0xD2,        // 0170 ld a,0xD2
                        0xE0, 0x48,        // 0172 ldh (OBP0),a
                        0x3E, 0x1B,        // 0174 ld a,0x1B
                        0xE0, 0x49,        // 0176 ldh (OBP1),a
                        0x3E, 0x10,        // 0178 ld a,0x10
                        0xE0, 0x46,        // 017A ldh (DMA),a       sprites of band 0
                        0x3E, 0x3F,        // 017C ld a,63
                        0xE0, 0x45,        // 017E ldh (LYC),a
                        0x3E, 0x97,        // 0180 ld a,0x97         on, tiles 0x8000, 8x16 sprites
                        0xE0, 0x40,        // 0182 ldh (LCDC),a
                        0x3E, 0x03,        // 0184 ld a,0x03         VBlank and LCD status
                        0xE0, 0xFF,        // 0186 ldh (IE),a
                        0xAF,              // 0188 xor a
                        0xE0, 0x0F,        // 0189 ldh (IF),a
                        0xEA, 0x00, 0xC0,  // 018B ld (0xC000),a
                        0x11, 0x00, 0x98,  // 018E ld de,0x9800
                        0xFB,              // 0191 ei
                        // The busy loop: DE walks the background map.
                        0xCD, 0x00, 0x02,  // 0192 loop: call mix
                        0x12,              // 0195 ld (de),a
                        0x13,              // 0196 inc de
                        0x7A,              // 0197 ld a,d
                        0xFE, 0x9C,        // 0198 cp 0x9C
                        0x20, 0x03,        // 019A jr nz,+3
                        0x11, 0x00, 0x98,  // 019C ld de,0x9800
                        0x18, 0xF1,        // 019F jr loop
                    });

    // mix: A = the next tile number; uses B, C, HL and the stack.
    rom.Put(0x0200, {
                        0x21, 0x00, 0xC0,  // 0200 ld hl,0xC000
                        0x7E,              // 0203 ld a,(hl)
                        0xC6, 0x1D,        // 0204 add a,0x1D
                        0x77,              // 0206 ld (hl),a
                        0x47,              // 0207 ld b,a
                        0x07,              // 0208 rlca
                        0xA8,              // 0209 xor b
                        0x4F,              // 020A ld c,a
                        0xCB, 0x31,        // 020B swap c
                        0x81,              // 020D add a,c
                        0xE5,              // 020E push hl
                        0x26, 0x00,        // 020F ld h,0
                        0x6F,              // 0211 ld l,a
                        0x29,              // 0212 add hl,hl
                        0x19,              // 0213 add hl,de
                        0x7D,              // 0214 ld a,l
                        0xE1,              // 0215 pop hl
                        0x23,              // 0216 inc hl            0xC001
                        0x34,              // 0217 inc (hl)
                        0xAE,              // 0218 xor (hl)
                        0xE6, 0x7F,        // 0219 and 0x7F
                        0xC9,              // 021B ret
                    });

    // VBlank: sprites of band 0, LYC for the end of band 0, scroll, count.
    rom.Put(0x0220, {
                        0xF5,              // 0220 push af
                        0xE5,              // 0221 push hl
                        0x3E, 0x10,        // 0222 ld a,0x10
                        0xE0, 0x46,        // 0224 ldh (DMA),a
                        0x3E, 0x3F,        // 0226 ld a,63
                        0xE0, 0x45,        // 0228 ldh (LYC),a
                        0x21, 0x43, 0xFF,  // 022A ld hl,SCX
                        0x34,              // 022D inc (hl)
                        0x2D,              // 022E dec l             SCY
                        0x34,              // 022F inc (hl)
                        0x21, 0x02, 0xC0,  // 0230 ld hl,0xC002
                        0x34,              // 0233 inc (hl)          frame count, low byte
                        0x20, 0x02,        // 0234 jr nz,+2
                        0x23,              // 0236 inc hl
                        0x34,              // 0237 inc (hl)          high byte
                        0xE1,              // 0238 pop hl
                        0xF1,              // 0239 pop af
                        0xD9,              // 023A reti
                    });

    // LCD status (LY = LYC just drawn): the next band's sprites.
    rom.Put(0x0240, {
                        0xF5,        // 0240 push af
                        0xF0, 0x45,  // 0241 ldh a,(LYC)
                        0xFE, 0x3F,  // 0243 cp 63
                        0x20, 0x0A,  // 0245 jr nz,last
                        0x3E, 0x11,  // 0247 ld a,0x11
                        0xE0, 0x46,  // 0249 ldh (DMA),a       band 1
                        0x3E, 0x7F,  // 024B ld a,127
                        0xE0, 0x45,  // 024D ldh (LYC),a
                        0xF1,        // 024F pop af
                        0xD9,        // 0250 reti
                        0x3E, 0x12,  // 0251 last: ld a,0x12
                        0xE0, 0x46,  // 0253 ldh (DMA),a       band 2
                        0x3E, 0xFF,  // 0255 ld a,0xFF         no line matches until VBlank
                        0xE0, 0x45,  // 0257 ldh (LYC),a
                        0xF1,        // 0259 pop af
                        0xD9,        // 025A reti
                    });

    for (int band = 0; band < 3; ++band)
        rom.Put(kSpriteTables + 0x100 * uint32_t(band), SpriteBand(band, spritesPerLine));
    rom.Put(kTileData, TilePatterns());
    return rom;
}

}  // namespace wenlo::test
