; OAM DMA on the handheld: a write to 0xFF46 copies the 160 bytes of page
; XX00-XX9F to OAM (FE00-FE9F) in 160 machine cycles, during which the CPU
; reaches only high RAM; so the transfer is started from a routine in high
; RAM that waits there until it is over.
;
; The routine reads a byte of the cartridge (0xA5) part-way: 156 machine
; cycles after the start it must not come through, 168 cycles after it
; must. The source (0..159 in work RAM) never holds 0xA5.

        .include "hw.inc"

SRC      = 0xC100                ; the source page
HRAM_RUN = 0xFF80                ; where the routine is copied to
HRAM_VAR = 0xF0                  ; a high-RAM byte used during the transfer
res0     = 0xC010
res1     = 0xC011
res2     = 0xC012
res3     = 0xC013

        CARTRIDGE_START
start:
        di
        ld      sp, #STACK_TOP
        call    lib_init
        xor     a
        ldh     (IE), a

        ; The LCD off (in VBlank, as the hardware wants it), so that OAM can
        ; be read at any time for the checks.
1$:     ldh     a, (LY)
        cp      #144
        jr      nz, 1$
        xor     a
        ldh     (LCDC), a

        ; The source: byte i holds i. OAM filled with 0xEE beforehand.
        ld      hl, #SRC
        xor     a
2$:     ld      (hl+), a
        inc     a
        cp      #160
        jr      nz, 2$
        ld      hl, #0xFE00
        ld      b, #160
        ld      a, #0xEE
3$:     ld      (hl+), a
        dec     b
        jr      nz, 3$

        ; The routine into high RAM.
        ld      hl, #hram_code
        ld      c, #<HRAM_RUN
        ld      b, #hram_end - hram_code
4$:     ld      a, (hl+)
        ldh     (c), a
        inc     c
        dec     b
        jr      nz, 4$

; ---- 156 cycles in: the cartridge is out of reach
        ld      a, #>SRC
        ld      b, #36
        call    HRAM_RUN
        ld      a, d
        ld      (res0), a
        ld      a, e
        ld      (res1), a

; ---- 168 cycles in: the transfer is over
        ld      a, #>SRC
        ld      b, #39
        call    HRAM_RUN
        ld      a, e
        ld      (res2), a

        ld      a, (res0)
        ld      b, #0x3C
        call    check_eq
        .asciz  "high ram during the transfer"
        ld      a, (res1)
        cp      #0xA5
        ld      a, #0
        jr      nz, 5$
        inc     a
5$:     ld      b, #0
        call    check_eq
        .asciz  "rom out of reach 156 cycles in"
        ld      a, (res2)
        ld      b, #0xA5
        call    check_eq
        .asciz  "rom back 168 cycles in"

        ; What came over: every byte, the first and the last.
        ld      hl, #0xFE00
        ld      de, #SRC
        ld      c, #0                   ; bytes that differ
        ld      b, #160
6$:     ld      a, (de)
        cp      (hl)
        jr      z, 7$
        inc     c
7$:     inc     hl
        inc     de
        dec     b
        jr      nz, 6$
        ld      a, c
        ld      b, #0
        call    check_eq
        .asciz  "oam bytes differing from the source"
        ld      a, (0xFE00)
        ld      b, #0
        call    check_eq
        .asciz  "oam first byte"
        ld      a, (0xFE9F)
        ld      b, #159
        call    check_eq
        .asciz  "oam last byte"

        jp      finish

; Copied to high RAM. a: the source page, b: the wait before the probe.
; The probe reads `probe` 4 * b + 12 machine cycles after the start; d
; returns what high RAM gave back during the transfer, e the probe.
hram_code:
        ldh     (DMA), a                ; the transfer starts
        ld      a, #0x3C                ; 2
        ldh     (HRAM_VAR), a           ; 3
        ldh     a, (HRAM_VAR)           ; 3
        ld      d, a                    ; 1
        dec     b                       ; 4 * b - 1
        jr      nz, .-1
        ld      a, (probe)              ; read in its 4th cycle
        ld      e, a
        ld      b, #60                  ; 240 cycles: well past the end
        dec     b
        jr      nz, .-1
        ret
hram_end:

probe:  .db     0xA5

        .include "lib.inc"
