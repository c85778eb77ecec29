; MBC2 on a 128 KiB cartridge (8 banks), with its own 512 half-bytes of RAM.
;
; One register range, 0x0000-0x3FFF, and address bit 8 tells the two apart:
; set, the value's low four bits select the ROM bank at 0x4000 (0 counting
; as 1); clear, a value whose low four bits are 0xA enables the RAM and any
; other disables it. The RAM keeps four bits a byte, at A000-A1FF and in
; its echoes up to BFFF (only nine address bits count). The upper four bits
; read as 1s here; the reference calls them undefined, so they are checked
; on their own.

        .include "hw.inc"

        CARTRIDGE_START
start:
        di
        ld      sp, #STACK_TOP
        call    lib_init
        xor     a
        ldh     (IE), a

; ---- ROM banks: address bit 8 set
        CHECK_BANK1 1, ^/"bank 1 at power-on"/
        PUT     0x2100, 0x00
        CHECK_BANK1 1, ^/"bank 0 selects bank 1"/
        PUT     0x2100, 0x05
        CHECK_BANK1 5, ^/"bank 5 (written at 0x2100)"/
        PUT     0x0100, 0x06
        CHECK_BANK1 6, ^/"bank 6 (written at 0x0100)"/
        PUT     0x3FFF, 0x13
        CHECK_BANK1 3, ^/"0x13 at 0x3fff: four bits kept"/
        PUT     0x2100, 0x0C
        CHECK_BANK1 4, ^/"bank 0x0c wraps to 4"/

; ---- address bit 8 clear: the RAM enable, the ROM bank untouched
        PUT     0x2000, 0x0A
        CHECK_BANK1 4, ^/"0x0a at 0x2000 leaves the rom bank"/
        PUT     0xA000, 0x5A
        ld      a, (0xA000)
        and     #0x0F
        ld      b, #0x0A
        call    check_eq
        .asciz  "ram enabled at 0x2000: low four bits kept"
        ld      a, (0xA000)
        and     #0xF0
        ld      b, #0xF0
        call    check_eq
        .asciz  "ram: upper four bits read 1s"
        PUT     0xA1FF, 0x03
        ld      a, (0xA1FF)
        and     #0x0F
        ld      b, #0x03
        call    check_eq
        .asciz  "ram 0xa1ff kept"

        ; the echoes: nine address bits
        PUT     0xA000, 0x07
        ld      a, (0xA200)
        and     #0x0F
        ld      b, #0x07
        call    check_eq
        .asciz  "0xa200 echoes 0xa000"
        ld      a, (0xBE00)
        and     #0x0F
        ld      b, #0x07
        call    check_eq
        .asciz  "0xbe00 echoes 0xa000"
        PUT     0xBFFF, 0x09
        ld      a, (0xA1FF)
        and     #0x0F
        ld      b, #0x09
        call    check_eq
        .asciz  "a write at 0xbfff lands on 0xa1ff"

        ; disabled, at another address with bit 8 clear
        PUT     0x3E00, 0x00
        ld      a, (0xA000)
        ld      b, #0xFF
        call    check_eq
        .asciz  "ram disabled at 0x3e00 reads 0xff"
        ; 0x0A where bit 8 is set is a bank number, not an enable
        PUT     0x0100, 0x0A
        CHECK_BANK1 2, ^/"0x0a at 0x0100: bank 0x0a, wraps to 2"/
        ld      a, (0xA000)
        ld      b, #0xFF
        call    check_eq
        .asciz  "0x0a at 0x0100 does not enable ram"
        PUT     0x0000, 0x1A
        ld      a, (0xA000)
        and     #0x0F
        ld      b, #0x07
        call    check_eq
        .asciz  "0x1a at 0x0000 enables, the value kept"
        PUT     0x0000, 0x00

        jp      finish

        .include "lib.inc"

        BANK_MARKS 8
