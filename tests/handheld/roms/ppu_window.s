; A picture of the window (run with wenlo-run --machine handheld, compared
; with tests/tools/baselines/handheld-window/expected.png).
;
; The background is a checkerboard of 8x8 squares (map 0x9800). The window
; (map 0x9C00, LCDC bit 6) starts at WX 31, WY 16: every tile row of it is
; one tile, solid dark and light by turns, with a colour 2 top line, so its
; own line counter shows in where the rows break. LY=LYC interrupts change
; the registers, each write made in the HBlank of the line before:
;
;   lines 48-59   the window off (LCDC bit 5): the background shows, and
;                 the window's counter stands still;
;   lines 60-95   the window on again, going on with its row 32: a light
;                 tile row from line 60 to 67 (LY - WY would give row 44,
;                 the dark row's last four lines, then a light row at 64);
;   lines 96-119  WX 7: the window from the left edge;
;   lines 120-143 WX 166: the window in the rightmost column only.
;
; The VBlank interrupt puts WX and LCDC back for the next frame.

        .include "hw.inc"
        .include "ppu.inc"

LCDC_ON  = 0xF1                 ; on, window map 0x9C00, window on, tiles 0x8000, background on
step     = 0xC000               ; which LY=LYC action comes next

        .area   _HOME (ABS)

        RST_TRAPS
        .org    0x40
        jp      vblank_isr
        .org    0x48
        jp      lyc_isr
        TRAP_AT 0x50
        TRAP_AT 0x58
        TRAP_AT 0x60

        ENTRY_POINT
start:
        di
        ld      sp, #STACK_TOP
        xor     a
        ldh     (IE), a
        call    lcd_off
        call    clear_oam

        ; Tiles: 0 empty, 1 solid colour 2, 2 light (colour 1) and 3 dark
        ; (colour 3), each with a colour 2 top line.
        ld      hl, #TILES
        ld      bc, #16
        xor     a
        call    fill
        ld      bc, #16                 ; tile 1: low 0x00, high 0xFF
        ld      hl, #TILES + 16
1$:     xor     a
        ld      (hl+), a
        cpl
        ld      (hl+), a
        dec     c
        dec     c
        jr      nz, 1$
        ld      hl, #TILES + 32         ; tile 2
        ld      a, #0x00
        ld      (hl+), a
        ld      a, #0xFF
        ld      (hl+), a                ; top line colour 2
        ld      c, #7
2$:     ld      a, #0xFF
        ld      (hl+), a
        xor     a
        ld      (hl+), a                ; colour 1
        dec     c
        jr      nz, 2$
        ld      a, #0x00                ; tile 3
        ld      (hl+), a
        ld      a, #0xFF
        ld      (hl+), a
        ld      c, #7
3$:     ld      a, #0xFF
        ld      (hl+), a
        ld      (hl+), a                ; colour 3
        dec     c
        jr      nz, 3$

        ; The background map: a checkerboard of tiles 0 and 1.
        ld      hl, #MAP0
        ld      e, #32                  ; rows
4$:     ld      d, #16
        ld      a, e
        and     #1
5$:     ld      (hl+), a
        xor     #1
        ld      (hl+), a
        xor     #1
        dec     d
        jr      nz, 5$
        dec     e
        jr      nz, 4$

        ; The window map: row r all tile 2 + (r & 1).
        ld      hl, #MAP1
        ld      e, #32
6$:     ld      a, e
        and     #1
        add     #2
        ld      bc, #32
        push    de
        call    fill
        pop     de
        dec     e
        jr      nz, 6$

        ld      a, #0xE4
        ldh     (BGP), a
        xor     a
        ldh     (SCX), a
        ldh     (SCY), a
        call    frame_start
        ld      a, #LCDC_ON
        ldh     (LCDC), a
        xor     a
        ldh     (IF), a
        ld      a, #0x40                ; the LY=LYC select
        ldh     (STAT), a
        xor     a
        ldh     (IF), a
        ld      a, #0x03                ; VBlank and LCD status
        ldh     (IE), a
        ei
7$:     halt
        nop
        jr      7$

; The registers as each frame begins.
frame_start:
        ld      a, #16
        ldh     (WY), a
        ld      a, #31
        ldh     (WX), a
        ld      a, #LCDC_ON
        ldh     (LCDC), a
        xor     a
        ld      (step), a
        ld      a, #47
        ldh     (LYC), a
        ret

vblank_isr:
        push    af
        call    frame_start
        pop     af
        reti

; At line 47, 59, 95 and 119: waits for that line's HBlank, then changes
; what the next line shows.
lyc_isr:
        push    af
        push    hl
1$:     ldh     a, (STAT)
        and     #0x03
        jr      nz, 1$
        ld      a, (step)
        inc     a
        ld      (step), a
        cp      #1
        jr      nz, 2$
        ld      a, #0xD1                ; the window off
        ldh     (LCDC), a
        ld      a, #59
        jr      9$
2$:     cp      #2
        jr      nz, 3$
        ld      a, #LCDC_ON
        ldh     (LCDC), a
        ld      a, #95
        jr      9$
3$:     cp      #3
        jr      nz, 4$
        ld      a, #7
        ldh     (WX), a
        ld      a, #119
        jr      9$
4$:     ld      a, #166
        ldh     (WX), a
        ld      a, #200                 ; none more this frame
9$:     ldh     (LYC), a
        pop     hl
        pop     af
        reti

        .include "ppu_lib.inc"
        .include "lib.inc"
