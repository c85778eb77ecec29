; The LCD switched off and on (run with wenlo-run --machine handheld,
; compared with tests/tools/baselines/handheld-lcd-*/expected.png): the
; picture is a dark diagonal band on light; in the VBlank of the 30th frame
; the LCD goes off for a few lines' time and comes back on. The frame that
; then begins is not shown (the screen stays white); the one after is the
; picture again.

        .include "hw.inc"
        .include "ppu.inc"

frames  = 0xC000                ; VBlank interrupts taken

        .area   _HOME (ABS)

        RST_TRAPS
        .org    0x40
        jp      vblank_isr
        TRAP_AT 0x48
        TRAP_AT 0x50
        TRAP_AT 0x58
        TRAP_AT 0x60

        ENTRY_POINT
start:
        di
        ld      sp, #STACK_TOP
        xor     a
        ldh     (IE), a
        ld      (frames), a
        call    lcd_off
        call    clear_oam

        ; Tile 0 light (colour 1), tile 1 dark (colour 3).
        ld      hl, #TILES
        ld      c, #8
1$:     ld      a, #0xFF
        ld      (hl+), a
        xor     a
        ld      (hl+), a
        dec     c
        jr      nz, 1$
        ld      bc, #16
        ld      a, #0xFF
        call    fill

        ; The map: row r holds tile 1 at columns r and r + 1.
        ld      hl, #MAP0
        ld      bc, #0x400
        xor     a
        call    fill
        ld      hl, #MAP0
        ld      de, #33
        ld      c, #18
2$:     ld      a, #1
        ld      (hl+), a
        ld      (hl-), a
        add     hl, de
        dec     c
        jr      nz, 2$

        ld      a, #0xE4
        ldh     (BGP), a
        xor     a
        ldh     (SCX), a
        ldh     (SCY), a
        ld      a, #0x91
        ldh     (LCDC), a
        xor     a
        ldh     (IF), a
        ld      a, #0x01
        ldh     (IE), a
        ei
3$:     halt
        nop
        jr      3$

vblank_isr:
        push    af
        ld      a, (frames)
        inc     a
        ld      (frames), a
        cp      #30
        jr      nz, 1$
        xor     a
        ldh     (LCDC), a
        DELAY   300
        ld      a, #0x91
        ldh     (LCDC), a
1$:     pop     af
        reti

        .include "ppu_lib.inc"
        .include "lib.inc"
