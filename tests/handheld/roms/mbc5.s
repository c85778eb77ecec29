; MBC5 on a 128 KiB cartridge (8 banks) with 32 KiB of RAM (4 banks).
;
; 0x2000-0x2FFF: the low eight bits of the ROM bank at 0x4000, and bank 0 is
; bank 0 here; 0x3000-0x3FFF: bank bit 8 (beyond this cartridge's size: the
; number wraps, but the low bits must stay as they were); 0x4000-0x5FFF: the
; RAM bank; 0x0000-0x1FFF: 0x0A enables RAM, 0x00 disables it (the chip
; looks at the low four bits: 0xA enables, anything else disables; the
; reference advises games not to rely on it, but that is what it does).

        .include "hw.inc"

        CARTRIDGE_START
start:
        di
        ld      sp, #STACK_TOP
        call    lib_init
        xor     a
        ldh     (IE), a

; ---- ROM banks
        CHECK_BANK1 1, ^/"bank 1 at power-on"/
        PUT     0x2000, 0x00
        CHECK_BANK1 0, ^/"bank 0 maps bank 0 at 0x4000"/
        PUT     0x2000, 0x05
        CHECK_BANK1 5, ^/"bank 5"/
        PUT     0x2FFF, 0x07
        CHECK_BANK1 7, ^/"bank 7 (written at 0x2fff)"/
        PUT     0x2000, 0x0E
        CHECK_BANK1 6, ^/"bank 0x0e wraps to 6"/
        PUT     0x3000, 0x01
        CHECK_BANK1 6, ^/"bit 8 set at 0x3000: low bits kept"/
        PUT     0x3FFF, 0x00
        CHECK_BANK1 6, ^/"bit 8 cleared at 0x3fff: low bits kept"/
        PUT     0x2000, 0xFB
        CHECK_BANK1 3, ^/"bank 0xfb wraps to 3"/

; ---- RAM
        ld      a, (0xA000)
        ld      b, #0xFF
        call    check_eq
        .asciz  "ram disabled at power-on reads 0xff"
        PUT     0x0000, 0x0A
        ld      c, #0
1$:     ld      a, c
        ld      (0x4000), a
        add     #0x50
        ld      (0xA000), a
        add     #0x10
        ld      (0xBFFF), a
        inc     c
        ld      a, c
        cp      #4
        jr      nz, 1$
        PUT     0x4000, 0
        ld      a, (0xA000)
        ld      b, #0x50
        call    check_eq
        .asciz  "ram bank 0"
        PUT     0x4000, 2
        ld      a, (0xA000)
        ld      b, #0x52
        call    check_eq
        .asciz  "ram bank 2"
        PUT     0x5FFF, 3
        ld      a, (0xBFFF)
        ld      b, #0x63
        call    check_eq
        .asciz  "ram bank 3 (selected at 0x5fff)"
        PUT     0x1FFF, 0x00
        ld      a, (0xA000)
        ld      b, #0xFF
        call    check_eq
        .asciz  "ram disabled reads 0xff"
        PUT     0xA000, 0x00            ; lost
        PUT     0x0000, 0x0A
        ld      a, (0xA000)
        ld      b, #0x53
        call    check_eq
        .asciz  "a write while disabled is lost"
        ; the chip looks at the low four bits only
        PUT     0x0000, 0x10
        ld      a, (0xA000)
        ld      b, #0xFF
        call    check_eq
        .asciz  "0x10 disables ram"
        PUT     0x0000, 0x1A
        ld      a, (0xA000)
        ld      b, #0x53
        call    check_eq
        .asciz  "0x1a enables ram"
        PUT     0x0000, 0x00
        PUT     0x4000, 0

        jp      finish

        .include "lib.inc"

        BANK_MARKS 8
