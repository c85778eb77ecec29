; A dialogue scene, built the way a small game builds one (run with
; wenlo-run --machine handheld, compared with
; tests/tools/baselines/handheld-dialogue/expected.png).
;
; The background is split in two by an LY=LYC interrupt at line 63: above
; it a sky (SCY 4) whose clouds drift half a pixel a frame, set by the
; VBlank interrupt; below it the ground (SCY 8), whose SCX the interrupt
; writes in line 63's HBlank. The camera pans the ground 2 pixels a frame
; from SCX 0 to 96, carrying two characters (sprites, copied to OAM by DMA
; every VBlank) into view. Then a dialogue box opens in the window (WY 104,
; WX 7: the bottom five tile rows, map 0x9C00) and its text appears a
; letter every 2 frames, two lines a page; 64 frames after the first page
; is complete the box is cleared and the second page appears. An arrow
; sprite over the box's bottom edge shows while a page is complete. The
; font's tiles are numbered by the letters' ASCII codes.
;
; Frames from the LCD on: the pan ends at 48, page one is complete at
; about 123, page two at about 253.

        .include "hw.inc"
        .include "ppu.inc"

LCDC_NOWIN = 0xD3               ; on, window map 0x9C00, tiles 0x8000, sprites, background
LCDC_WIN   = 0xF3               ; the same with the window on

PAN_END    = 96                 ; the ground's SCX once the camera stops
PAN_STEP   = 2
CHAR_SPEED = 2                  ; frames a letter
PAGE_HOLD  = 64                 ; frames a complete page stays
LINE1      = MAP1 + 32 + 1      ; window row 1, column 1
LINE2      = MAP1 + 96 + 1      ; window row 3, column 1
TEXT_WIDTH = 18

T_SKY    = 9                    ; the 2-bit tiles, from tile 9 on
T_CLOUD  = 10
T_GRASS  = 11
T_GROUND = 12
T_HEAD   = 13
T_BODY   = 14
T_ARROW  = 15

SHADOW_OAM = 0xC100             ; copied to OAM every VBlank
HRAM_DMA   = 0xFF80

frame    = 0xC000               ; VBlank count, for the clouds
scroll   = 0xC001               ; the ground's SCX
state    = 0xC002               ; 0 panning, 1 showing letters, 2 page complete, 3 the end
text     = 0xC003               ; (2) the next letter
dest     = 0xC005               ; (2) where it goes in the window map
timer    = 0xC007               ; frames to the next letter, or to the next page
vbl_seen = 0xC008               ; set by the VBlank interrupt

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

        ld      hl, #TILES              ; all of video RAM cleared
        ld      bc, #0x2000
        xor     a
        call    fill
        ld      hl, #SHADOW_OAM         ; and the sprites hidden
        ld      bc, #160
        xor     a
        call    fill
        call    clear_oam

        ld      hl, #mono_tiles
        call    load_mono
        ld      hl, #TILES + T_SKY * 16
        ld      de, #color_tiles
        ld      bc, #color_tiles_end - color_tiles
        call    copy
        ld      hl, #HRAM_DMA
        ld      de, #dma_routine
        ld      bc, #dma_routine_end - dma_routine
        call    copy

        ; The background: sky rows 0-8 with clouds, grass row 9, ground below.
        ld      hl, #MAP0
        ld      bc, #9 * 32
        ld      a, #T_SKY
        call    fill
        ld      bc, #32
        ld      a, #T_GRASS
        call    fill
        ld      bc, #22 * 32
        ld      a, #T_GROUND
        call    fill
        ld      hl, #clouds
1$:     ld      a, (hl+)                ; offsets into the map, 0xFF ends
        cp      #0xFF
        jr      z, 2$
        ld      e, a
        ld      d, #MAP0 >> 8
        ld      a, #T_CLOUD
        ld      (de), a
        jr      1$

        ; The box: window rows 0-4, a frame of tiles 1-8 around blanks.
2$:     ld      hl, #MAP1
        ld      de, #0x0102             ; corner 1, edge 2, corner 3
        call    box_row
        ld      c, #3
3$:     ld      de, #0x0400             ; side 4, blank, side 5
        call    box_row
        dec     c
        jr      nz, 3$
        ld      de, #0x0607
        call    box_row

        xor     a
        ld      (frame), a
        ld      (scroll), a
        ld      (state), a
        ld      (vbl_seen), a
        ld      a, #0xE4
        ldh     (BGP), a
        ldh     (OBP0), a
        ld      a, #104
        ldh     (WY), a
        ld      a, #7
        ldh     (WX), a
        ld      a, #4
        ldh     (SCY), a
        xor     a
        ldh     (SCX), a
        ld      a, #63
        ldh     (LYC), a
        ld      a, #0x40                ; the LY=LYC select
        ldh     (STAT), a
        call    place_sprites
        ld      a, #LCDC_NOWIN
        ldh     (LCDC), a
        xor     a
        ldh     (IF), a
        ld      a, #0x03                ; VBlank and LCD status
        ldh     (IE), a
        ei

; Once a frame, right after VBlank began: the scene moves on.
main:
        halt
        nop
        ld      a, (vbl_seen)
        or      a
        jr      z, main
        xor     a
        ld      (vbl_seen), a
        call    step_scene
        call    place_sprites
        jr      main

step_scene:
        ld      a, (state)
        or      a
        jr      nz, 1$
        ld      a, (scroll)             ; panning
        add     #PAN_STEP
        ld      (scroll), a
        cp      #PAN_END
        ret     nz
        ld      a, #LCDC_WIN            ; the camera stopped: the box opens
        ldh     (LCDC), a
        ld      hl, #pages
        jp      start_page
1$:     cp      #1
        jr      nz, page_done
        ld      hl, #timer
        dec     (hl)
        ret     nz
        ld      (hl), #CHAR_SPEED
        ld      hl, #text
        ld      a, (hl+)
        ld      h, (hl)
        ld      l, a
        ld      a, (hl+)
        ld      b, a
        ld      a, l
        ld      (text), a
        ld      a, h
        ld      (text + 1), a
        ld      a, b
        or      a
        jr      z, 2$
        cp      #0x0A
        jr      z, 3$
        ld      hl, #dest
        ld      a, (hl+)
        ld      h, (hl)
        ld      l, a
        ld      (hl), b
        inc     hl
        jr      4$
2$:     ld      a, #2                   ; the page is complete
        ld      (state), a
        ld      a, #PAGE_HOLD
        ld      (timer), a
        ret
3$:     ld      hl, #LINE2
4$:     ld      a, l
        ld      (dest), a
        ld      a, h
        ld      (dest + 1), a
        ret

page_done:
        cp      #2
        ret     nz                      ; 3: the end, nothing more
        ld      hl, #timer
        dec     (hl)
        ret     nz
        ld      hl, #text
        ld      a, (hl+)
        ld      h, (hl)
        ld      l, a
        ld      a, (hl)
        cp      #0xFF
        jr      nz, 1$
        ld      a, #3
        ld      (state), a
        ret
1$:     push    hl                      ; the next page: the box emptied first
        ld      hl, #LINE1
        ld      bc, #TEXT_WIDTH
        xor     a
        call    fill
        ld      hl, #LINE2
        ld      bc, #TEXT_WIDTH
        xor     a
        call    fill
        pop     hl
; hl: the page's text. Starts showing it.
start_page:
        ld      a, l
        ld      (text), a
        ld      a, h
        ld      (text + 1), a
        ld      a, #LINE1 & 0xFF
        ld      (dest), a
        ld      a, #LINE1 >> 8
        ld      (dest + 1), a
        ld      a, #1
        ld      (state), a
        ld      (timer), a
        ret

; The shadow OAM: the characters at their place in the world less the
; ground's scroll, the arrow while a page is complete.
place_sprites:
        ld      hl, #SHADOW_OAM
        ld      a, (scroll)
        ld      b, a
        ld      a, #150 + 8
        sub     b
        ld      c, a
        ld      e, #0
        call    character
        ld      a, #190 + 8
        sub     b
        ld      c, a
        ld      e, #0x20                ; facing the other one
        call    character
        ld      a, (state)
        cp      #2
        ld      a, #0                   ; hidden (Y 0)
        jr      c, 1$
        ld      a, #136 + 16
1$:     ld      (hl+), a
        ld      a, #144 + 8
        ld      (hl+), a
        ld      a, #T_ARROW
        ld      (hl+), a
        xor     a
        ld      (hl+), a
        ret

; c: the OAM X, e: the attributes. Two entries at hl, standing on the grass
; (head at line 48, body at 56).
character:
        ld      a, #48 + 16
        ld      (hl+), a
        ld      a, c
        ld      (hl+), a
        ld      a, #T_HEAD
        ld      (hl+), a
        ld      a, e
        ld      (hl+), a
        ld      a, #56 + 16
        ld      (hl+), a
        ld      a, c
        ld      (hl+), a
        ld      a, #T_BODY
        ld      (hl+), a
        ld      a, e
        ld      (hl+), a
        ret

; One window row of 20 at hl: tile d, 18 of tile e, tile d + 1 (d + 2 for
; the top and bottom rows, whose corners are 1 and 3, 6 and 8).
box_row:
        ld      a, d
        ld      (hl+), a
        ld      b, #TEXT_WIDTH
        ld      a, e
1$:     ld      (hl+), a
        dec     b
        jr      nz, 1$
        ld      a, e
        or      a
        ld      a, d
        jr      z, 2$
        inc     a
2$:     inc     a
        ld      (hl+), a
        ld      a, l                    ; on to the next row of 32
        add     #32 - 20
        ld      l, a
        ret     nc
        inc     h
        ret

; hl: entries of a tile number and 8 rows of one bit a pixel, 0xFF ends.
; Each row goes to both bit planes (colour 3).
load_mono:
        ld      a, (hl+)
        cp      #0xFF
        ret     z
        ld      e, a
        ld      d, #0
        .rept   4
        sla     e
        rl      d
        .endm
        ld      a, d
        add     #TILES >> 8
        ld      d, a
        ld      c, #8
1$:     ld      a, (hl+)
        ld      (de), a
        inc     de
        ld      (de), a
        inc     de
        dec     c
        jr      nz, 1$
        jr      load_mono

vblank_isr:
        push    af
        call    HRAM_DMA
        ld      a, (frame)
        inc     a
        ld      (frame), a
        srl     a
        ldh     (SCX), a                ; the sky's drift
        ld      a, #4
        ldh     (SCY), a
        ld      a, #1
        ld      (vbl_seen), a
        pop     af
        reti

; Line 63: in its HBlank, the ground's scroll for line 64 on.
lyc_isr:
        push    af
1$:     ldh     a, (STAT)
        and     #0x03
        jr      nz, 1$
        ld      a, (scroll)
        ldh     (SCX), a
        ld      a, #8
        ldh     (SCY), a
        pop     af
        reti

; Copied to high RAM: the CPU reaches only high RAM during the transfer.
dma_routine:
        ld      a, #SHADOW_OAM >> 8
        ldh     (DMA), a
        ld      a, #40
1$:     dec     a
        jr      nz, 1$
        ret
dma_routine_end:

        .include "dialogue_data.inc"
        .include "ppu_lib.inc"
        .include "lib.inc"
