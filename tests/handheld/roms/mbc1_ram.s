; MBC1 on a 64 KiB cartridge (4 banks) with 32 KiB of RAM (4 banks of 8).
;
; Here the two-bit register at 0x4000-0x5FFF selects the RAM bank, and only
; in mode 1 (mode 0 keeps RAM bank 0). The ROM bank register keeps its five
; bits, but only the two this size needs reach the ROM: the 0 -> 1 rule
; looks at all five, so 0x04 maps bank 0 at 0x4000, and larger numbers wrap.

        .include "hw.inc"

WRAM_RUN = 0xC800

        CARTRIDGE_START
start:
        di
        ld      sp, #STACK_TOP
        call    lib_init
        xor     a
        ldh     (IE), a

        ld      hl, #read_low_bank
        ld      de, #WRAM_RUN
        ld      b, #read_low_bank_end - read_low_bank
1$:     ld      a, (hl+)
        ld      (de), a
        inc     de
        dec     b
        jr      nz, 1$

; ---- ROM banks on a small cartridge
        PUT     0x2000, 0x00
        CHECK_BANK1 1, ^/"bank 0 selects bank 1"/
        PUT     0x2000, 0x04
        CHECK_BANK1 0, ^/"bank 0x04 maps bank 0 at 0x4000"/
        PUT     0x2000, 0x07
        CHECK_BANK1 3, ^/"bank 7 wraps to 3"/
        PUT     0x2000, 0x1E
        CHECK_BANK1 2, ^/"bank 0x1e wraps to 2"/
        PUT     0x2000, 0x01

        ; mode 1 with the two bits set: ROM is too small for them to matter
        ld      b, #3
        call    WRAM_RUN
        ld      a, d
        ld      b, #0
        call    check_eq
        .asciz  "mode 1, two bits 3: bank 0 at 0x0000"
        ld      a, e
        ld      b, #1
        call    check_eq
        .asciz  "mode 1, two bits 3: bank 1 at 0x4000"

; ---- RAM banks, in mode 1: each bank written with its own values
        PUT     0x0000, 0x0A
        PUT     0x6000, 1
        ld      c, #0
2$:     ld      a, c
        ld      (0x4000), a
        add     #0x10
        ld      (0xA000), a
        add     #0x10
        ld      (0xBFFF), a
        inc     c
        ld      a, c
        cp      #4
        jr      nz, 2$

        PUT     0x4000, 0
        ld      a, (0xA000)
        ld      b, #0x10
        call    check_eq
        .asciz  "ram bank 0 at 0xa000"
        PUT     0x4000, 1
        ld      a, (0xA000)
        ld      b, #0x11
        call    check_eq
        .asciz  "ram bank 1 at 0xa000"
        PUT     0x4000, 2
        ld      a, (0xA000)
        ld      b, #0x12
        call    check_eq
        .asciz  "ram bank 2 at 0xa000"
        PUT     0x4000, 3
        ld      a, (0xBFFF)
        ld      b, #0x23
        call    check_eq
        .asciz  "ram bank 3 at 0xbfff"

        ; mode 0: bank 0 whatever the two bits say
        PUT     0x6000, 0
        ld      a, (0xA000)
        ld      b, #0x10
        call    check_eq
        .asciz  "mode 0, two bits 3: ram bank 0"
        PUT     0x6000, 1
        ld      a, (0xA000)
        ld      b, #0x13
        call    check_eq
        .asciz  "mode 1 again: ram bank 3"

        PUT     0x0000, 0x00
        ld      a, (0xA000)
        ld      b, #0xFF
        call    check_eq
        .asciz  "ram disabled reads 0xff"
        PUT     0x4000, 0
        PUT     0x6000, 0

        jp      finish

; As in mbc1.s: copied to work RAM; b: the two bits, set in mode 1; d: the
; bank at 0x0000, e: the one at 0x4000.
read_low_bank:
        ld      a, #1
        ld      (0x6000), a
        ld      a, b
        ld      (0x4000), a
        ld      a, (MARK0)
        ld      d, a
        ld      a, (MARK1)
        ld      e, a
        xor     a
        ld      (0x4000), a
        ld      (0x6000), a
        ret
read_low_bank_end:

        .include "lib.inc"

        BANK_MARKS 4
