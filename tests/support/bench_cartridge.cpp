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
// Where the busy loop runs (BenchLoop): in the cartridge; copied to work RAM
// at 0xD000 with its routine at 0xD020; or in the cartridge, calling its
// routine copied to high RAM at 0xFF80, as games call their sprite-copy
// routine there. The cartridge variant's bytes are fixed: its figures are
// compared from release to release.
//
// Memory used: 0xC000 mix state, 0xC001 second counter, 0xC002-0xC003 frame
// count (little-endian), stack from 0xFFFE down.
#include <algorithm>
#include <stdexcept>

#include "core/cartridge_header.h"
#include "core/io_regs.h"
#include "tests/support/rom_builder.h"

namespace wenlo::test {

namespace {

constexpr uint32_t kSpriteTables = 0x1000;  // bands 0, 1, 2 at 0x1000, 0x1100, 0x1200
constexpr uint32_t kTileData = 0x2000;      // 4 KiB copied to 0x8000-0x8FFF
constexpr uint16_t kLoopAddress = 0x0192;   // the busy loop, right after start-up
constexpr uint16_t kMixAddress = 0x0200;    // the routine it calls
// The RAM variants: the copy routine and its image, where the code lands,
// and the high-RAM variant's loop in the cartridge.
constexpr uint16_t kCopyAddress = 0x0300;
constexpr uint16_t kRomLoopForHighRam = 0x0380;
constexpr uint16_t kWorkRamLoop = 0xD000;
constexpr uint16_t kHighRamMix = 0xFF80;

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

// The busy loop, which calls the mix routine at `mix`: DE walks the
// background map. Position-independent apart from the call.
std::vector<uint8_t> BusyLoop(uint16_t mix) {
    const uint8_t low = uint8_t(mix), high = uint8_t(mix >> 8);
    return {
        0xCD, low,  high,  // loop: call mix
        0x12,              // ld (de),a
        0x13,              // inc de
        0x7A,              // ld a,d
        0xFE, 0x9C,        // cp 0x9C
        0x20, 0x03,        // jr nz,+3
        0x11, 0x00, 0x98,  // ld de,0x9800
        0x18, 0xF1,        // jr loop
    };
}

// mix: A = the next tile number; uses B, C, HL and the stack.
// Position-independent (offsets from its start; at 0x0200 in the cartridge).
std::vector<uint8_t> MixRoutine() {
    return {
        0x21, 0x00, 0xC0,  // +00 ld hl,0xC000
        0x7E,              // +03 ld a,(hl)
        0xC6, 0x1D,        // +04 add a,0x1D
        0x77,              // +06 ld (hl),a
        0x47,              // +07 ld b,a
        0x07,              // +08 rlca
        0xA8,              // +09 xor b
        0x4F,              // +0A ld c,a
        0xCB, 0x31,        // +0B swap c
        0x81,              // +0D add a,c
        0xE5,              // +0E push hl
        0x26, 0x00,        // +0F ld h,0
        0x6F,              // +11 ld l,a
        0x29,              // +12 add hl,hl
        0x19,              // +13 add hl,de
        0x7D,              // +14 ld a,l
        0xE1,              // +15 pop hl
        0x23,              // +16 inc hl            0xC001
        0x34,              // +17 inc (hl)
        0xAE,              // +18 xor (hl)
        0xE6, 0x7F,        // +19 and 0x7F
        0xC9,              // +1B ret
    };
}

// The RAM variants: at kCopyAddress, copies the code image stored behind it
// into RAM, puts DE back at the start of the map and jumps to the loop. The
// image is the loop with the routine 0x20 bytes behind it (work RAM), or the
// routine alone (high RAM, called from the loop at kRomLoopForHighRam).
std::vector<uint8_t> CopyToRam(BenchLoop loop) {
    std::vector<uint8_t> image;
    uint16_t dest = 0, entry = 0;
    if (loop == BenchLoop::WorkRam) {
        dest = entry = kWorkRamLoop;
        image = BusyLoop(uint16_t(kWorkRamLoop + 0x20));
        image.resize(0x20, 0x00);
    } else {
        dest = kHighRamMix;
        entry = kRomLoopForHighRam;
    }
    const auto mix = MixRoutine();
    image.insert(image.end(), mix.begin(), mix.end());
    const uint16_t source = kCopyAddress + 0x20;
    std::vector<uint8_t> code = {
        0x21,
        uint8_t(source),
        uint8_t(source >> 8),  // 0300 ld hl,image
        0x01,
        uint8_t(dest),
        uint8_t(dest >> 8),  // 0303 ld bc,dest
        0x1E,
        uint8_t(image.size()),  // 0306 ld e,length
        0x2A,                   // 0308 copy: ld a,(hl+)
        0x02,                   // 0309 ld (bc),a
        0x03,                   // 030A inc bc
        0x1D,                   // 030B dec e
        0x20,
        0xFA,  // 030C jr nz,copy
        0x11,
        0x00,
        0x98,  // 030E ld de,0x9800
        0xC3,
        uint8_t(entry),
        uint8_t(entry >> 8),  // 0311 jp entry
    };
    std::vector<uint8_t> out(0x20 + image.size(), 0x00);
    std::copy(code.begin(), code.end(), out.begin());
    std::copy(image.begin(), image.end(), out.begin() + 0x20);
    return out;
}

}  // namespace

// The handlers of the complete handheld's variant: the same work, but the
// sprite table is copied by a routine in high RAM, since during OAM DMA the
// handheld's CPU reaches nothing else (a copy started from the cartridge
// would run into 0xFF bytes). Each handler first writes that routine to
// 0xFFE0 (the first interrupt of a frame may be either handler).
constexpr uint16_t kDmaRoutine = 0xFFE0;

void PutHighRamDmaHandlers(RomBuilder& rom) {
    rom.Put(io::InterruptVector(0), {0xC3, 0x60, 0x02});  // jp 0x0260        VBlank
    rom.Put(io::InterruptVector(1), {0xC3, 0x90, 0x02});  // jp 0x0290        LCD status
    rom.Put(0x017A, {0x00, 0x00});                        // 017A nop, nop: sprites from the first VBlank on
    rom.Put(0x0260, {
                        0xF5,              // 0260 push af
                        0xE5,              // 0261 push hl
                        0xCD, 0xC0, 0x02,  // 0262 call copy
                        0x3E, 0x10,        // 0265 ld a,0x10
                        0xCD, 0xE0, 0xFF,  // 0267 call 0xFFE0      DMA from high RAM
                        0x3E, 0x3F,        // 026A ld a,63
                        0xE0, 0x45,        // 026C ldh (LYC),a
                        0x21, 0x43, 0xFF,  // 026E ld hl,SCX
                        0x34,              // 0271 inc (hl)
                        0x2D,              // 0272 dec l             SCY
                        0x34,              // 0273 inc (hl)
                        0x21, 0x02, 0xC0,  // 0274 ld hl,0xC002
                        0x34,              // 0277 inc (hl)          frame count, low byte
                        0x20, 0x02,        // 0278 jr nz,+2
                        0x23,              // 027A inc hl
                        0x34,              // 027B inc (hl)          high byte
                        0xE1,              // 027C pop hl
                        0xF1,              // 027D pop af
                        0xD9,              // 027E reti
                    });
    rom.Put(0x0290, {
                        0xF5,              // 0290 push af
                        0xE5,              // 0291 push hl
                        0xCD, 0xC0, 0x02,  // 0292 call copy
                        0xF0, 0x45,        // 0295 ldh a,(LYC)
                        0xFE, 0x3F,        // 0297 cp 63
                        0x20, 0x0C,        // 0299 jr nz,last
                        0x3E, 0x11,        // 029B ld a,0x11
                        0xCD, 0xE0, 0xFF,  // 029D call 0xFFE0      band 1
                        0x3E, 0x7F,        // 02A0 ld a,127
                        0xE0, 0x45,        // 02A2 ldh (LYC),a
                        0xE1,              // 02A4 pop hl
                        0xF1,              // 02A5 pop af
                        0xD9,              // 02A6 reti
                        0x3E, 0x12,        // 02A7 last: ld a,0x12
                        0xCD, 0xE0, 0xFF,  // 02A9 call 0xFFE0      band 2
                        0x3E, 0xFF,        // 02AC ld a,0xFF
                        0xE0, 0x45,        // 02AE ldh (LYC),a
                        0xE1,              // 02B0 pop hl
                        0xF1,              // 02B1 pop af
                        0xD9,              // 02B2 reti
                    });
    // copy: writes "ldh (DMA),a; ld a,40; wait: dec a; jr nz,wait; ret" to
    // 0xFFE0: the transfer's 160 machine cycles pass in the loop.
    rom.Put(0x02C0, {
                        0x21, 0xE0, 0xFF,  // 02C0 ld hl,0xFFE0
                        0x36, 0xE0,        // 02C3 ld (hl),0xE0
                        0x2C,              // 02C5 inc l
                        0x36, 0x46,        // 02C6 ld (hl),0x46
                        0x2C,              // 02C8 inc l
                        0x36, 0x3E,        // 02C9 ld (hl),0x3E
                        0x2C,              // 02CB inc l
                        0x36, 0x28,        // 02CC ld (hl),40
                        0x2C,              // 02CE inc l
                        0x36, 0x3D,        // 02CF ld (hl),0x3D
                        0x2C,              // 02D1 inc l
                        0x36, 0x20,        // 02D2 ld (hl),0x20
                        0x2C,              // 02D4 inc l
                        0x36, 0xFD,        // 02D5 ld (hl),0xFD
                        0x2C,              // 02D7 inc l
                        0x36, 0xC9,        // 02D8 ld (hl),0xC9
                        0xC9,              // 02DA ret
                    });
}

RomBuilder BenchmarkCartridge(int spritesPerLine, BenchLoop loop, bool dmaFromHighRam) {
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
                    });
    if (loop == BenchLoop::Rom) {
        rom.Put(kLoopAddress, BusyLoop(kMixAddress));
    } else {
        rom.Put(kLoopAddress, {0xC3, 0x00, 0x03});  // 0192 jp 0x0300
        rom.Put(kCopyAddress, CopyToRam(loop));
        // The high-RAM variant's loop stays in the cartridge.
        if (loop == BenchLoop::HighRam) rom.Put(kRomLoopForHighRam, BusyLoop(kHighRamMix));
    }

    rom.Put(kMixAddress, MixRoutine());

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
    if (dmaFromHighRam) PutHighRamDmaHandlers(rom);
    return rom;
}

}  // namespace wenlo::test
