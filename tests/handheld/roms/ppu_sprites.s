; A picture of sprites (run with wenlo-run --machine handheld, compared with
; tests/tools/baselines/handheld-sprites/expected.png). The background is
; white (colour 0) on the left half of the screen and light (colour 1) on
; the right; OBP0 0xE4 shows colours as they are, OBP1 0x1B reversed.
;
;   lines 8-15    twelve dark sprites in a row, OAM entries 0-11: the ten
;                 first in OAM order are drawn, the last two not;
;   lines 24-31   overlaps: entry 12 (dark, X 40) over entry 13 (OBP1,
;                 light, X 36): the lower X wins where they overlap; entries
;                 14 (OBP1) and 15 (dark) at the same X 80: entry 14 wins;
;   lines 40-47   behind the background (attribute bit 7): entry 16 at
;                 X 56 over colour 0 shows, entry 17 at X 92 over colour 1
;                 does not; entry 18 at X 112 without the flag shows; entry
;                 19, a ring with the flag at X 130 over colour 1, hides
;                 where it is opaque both itself and entry 20 (X 132, OBP1)
;                 below it, and lets entry 20 through inside the ring;
;   lines 56-63   a corner tile four ways (entries 21-24): as it is,
;                 flipped across, flipped up and down, both;
;   lines 80-95   8x16 sprites from line 72 (LCDC bit 2): tile number 7
;                 draws tiles 6 (stripes across) over 7 (stripes down);
;                 flipped up and down, 7 over 6 (entries 25, 26);
;   lines 104-111 the background off (LCDC bit 0 clear): white, and the
;                 behind flag of entry 27 at X 100 no longer hides it;
;   lines 120-127 sprites off (LCDC bit 1 clear): entry 29 not drawn.
; (X here is the screen's, OAM's less 8.)
;
; Each register change is made by an LY=LYC interrupt in the HBlank of the
; line before; the VBlank interrupt puts them back.

        .include "hw.inc"
        .include "ppu.inc"

LCDC_ON  = 0x93                 ; on, tiles 0x8000, sprites on, background on
step     = 0xC000

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

        ld      hl, #TILES
        ld      de, #tiles
        ld      bc, #tiles_end - tiles
        call    copy

        ; The background: columns 0-9 tile 0 (colour 0), 10-19 tile 1.
        ld      hl, #MAP0
        ld      e, #32
1$:     ld      bc, #10
        xor     a
        push    de
        call    fill
        ld      bc, #22
        ld      a, #1
        call    fill
        pop     de
        dec     e
        jr      nz, 1$

        ld      hl, #OAM
        ld      de, #sprites
        ld      bc, #sprites_end - sprites
        call    copy
        ld      bc, #OAM + 160 - (OAM + sprites_end - sprites)
        xor     a
        call    fill

        ld      a, #0xE4
        ldh     (BGP), a
        ldh     (OBP0), a
        ld      a, #0x1B
        ldh     (OBP1), a
        xor     a
        ldh     (SCX), a
        ldh     (SCY), a
        call    frame_start
        ld      a, #0x40
        ldh     (STAT), a
        xor     a
        ldh     (IF), a
        ld      a, #0x03
        ldh     (IE), a
        ei
2$:     halt
        nop
        jr      2$

frame_start:
        ld      a, #LCDC_ON
        ldh     (LCDC), a
        xor     a
        ld      (step), a
        ld      a, #71
        ldh     (LYC), a
        ret

vblank_isr:
        push    af
        call    frame_start
        pop     af
        reti

; At lines 71, 99, 103, 119 and 135, in their HBlank: the LCDC for the
; lines below.
lyc_isr:
        push    af
        push    hl
1$:     ldh     a, (STAT)
        and     #0x03
        jr      nz, 1$
        ld      a, (step)
        ld      l, a
        inc     a
        ld      (step), a
        ld      h, #0
        add     hl, hl
        ld      a, #<actions
        add     l
        ld      l, a
        ld      a, #>actions
        adc     h
        ld      h, a
        ld      a, (hl+)
        ldh     (LCDC), a
        ld      a, (hl)
        ldh     (LYC), a
        pop     hl
        pop     af
        reti

; LCDC from the next line on, and the next LYC.
actions:
        .db     LCDC_ON | 0x04, 99      ; 8x16
        .db     LCDC_ON, 103
        .db     LCDC_ON & 0xFE, 119     ; the background off
        .db     LCDC_ON & 0xFD, 135     ; sprites off
        .db     LCDC_ON, 200

tiles:
        ; 0: empty
        .dw     0, 0, 0, 0, 0, 0, 0, 0
        ; 1: solid colour 1
        .dw     0x00FF, 0x00FF, 0x00FF, 0x00FF, 0x00FF, 0x00FF, 0x00FF, 0x00FF
        ; 2: solid colour 3
        .dw     0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF
        ; 3: solid colour 1 with a colour 3 frame
        .dw     0xFFFF, 0x81FF, 0x81FF, 0x81FF, 0x81FF, 0x81FF, 0x81FF, 0xFFFF
        ; 4: a colour 3 ring, transparent inside
        .dw     0xFFFF, 0x8181, 0x8181, 0x8181, 0x8181, 0x8181, 0x8181, 0xFFFF
        ; 5: a corner: the top row and the left column colour 3, one
        ;    colour 2 pixel beside the corner
        .dw     0xFFFF, 0xA080, 0x8080, 0x8080, 0x8080, 0x8080, 0x8080, 0x8080
        ; 6: stripes across, colours 1 and 3 by turns
        .dw     0x00FF, 0xFFFF, 0x00FF, 0xFFFF, 0x00FF, 0xFFFF, 0x00FF, 0xFFFF
        ; 7: stripes down, colour 2 and empty by turns
        .dw     0xAA00, 0xAA00, 0xAA00, 0xAA00, 0xAA00, 0xAA00, 0xAA00, 0xAA00
tiles_end:

; Y, X, tile, attributes (bit 4 OBP1, 5 flip across, 6 flip up and down,
; 7 behind the background).
sprites:
        .db     8+16, 8+0, 2, 0         ; 0-11: twelve in a row
        .db     8+16, 8+12, 2, 0
        .db     8+16, 8+24, 2, 0
        .db     8+16, 8+36, 2, 0
        .db     8+16, 8+48, 2, 0
        .db     8+16, 8+60, 2, 0
        .db     8+16, 8+72, 2, 0
        .db     8+16, 8+84, 2, 0
        .db     8+16, 8+96, 2, 0
        .db     8+16, 8+108, 2, 0
        .db     8+16, 8+120, 2, 0
        .db     8+16, 8+132, 2, 0
        .db     24+16, 8+40, 2, 0x00    ; 12
        .db     24+16, 8+36, 3, 0x10    ; 13: lower X
        .db     24+16, 8+80, 3, 0x10    ; 14: same X, lower entry
        .db     24+16, 8+80, 2, 0x00    ; 15
        .db     40+16, 8+64, 2, 0x80    ; 16: behind, over colour 0
        .db     40+16, 8+100, 2, 0x80   ; 17: behind, over colour 1
        .db     40+16, 8+120, 2, 0x00   ; 18
        .db     40+16, 8+130, 4, 0x80   ; 19: a ring, behind, over colour 1
        .db     40+16, 8+132, 3, 0x10   ; 20: under it
        .db     56+16, 8+16, 5, 0x00    ; 21-24: the corner four ways
        .db     56+16, 8+32, 5, 0x20
        .db     56+16, 8+48, 5, 0x40
        .db     56+16, 8+64, 5, 0x60
        .db     80+16, 8+40, 7, 0x00    ; 25: 8x16, tiles 6 and 7
        .db     80+16, 8+60, 7, 0x40    ; 26: flipped: 7 over 6
        .db     104+16, 8+100, 2, 0x80  ; 27: behind, with the background off
        .db     104+16, 8+40, 3, 0x00   ; 28
        .db     120+16, 8+40, 2, 0x00   ; 29: sprites off
sprites_end:

        .include "ppu_lib.inc"
        .include "lib.inc"
