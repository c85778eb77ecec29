; MBC1 on a 1 MiB cartridge (64 banks) with 8 KiB of RAM.
;
; 0x2000-0x3FFF: the low five bits of the ROM bank at 0x4000, 0 counting as
; 1 (so banks 0x20, 0x40 and 0x60 read as the bank after them);
; 0x4000-0x5FFF: two more bits, bank bits 5-6 on a cartridge of 1 MiB or
; more; 0x6000-0x7FFF: mode 1 lets those two bits select the bank at
; 0x0000-0x3FFF too (0x00, 0x20, 0x40 or 0x60). Bank numbers past the
; cartridge's size wrap. RAM works after a value with 0xA in its low four
; bits is written to 0x0000-0x1FFF and reads 0xFF otherwise; on this size
; of cartridge the two bits never select a RAM bank.
;
; The mode 1 reads run from work RAM, since bank 0, and this program with
; it, leaves 0x0000-0x3FFF while they happen.

        .include "hw.inc"

WRAM_RUN = 0xC800               ; where read_low_bank runs

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

; ---- the bank at 0x4000
        CHECK_BANK1 1, ^/"bank 1 at power-on"/
        PUT     0x2000, 0x00
        CHECK_BANK1 1, ^/"bank 0 selects bank 1"/
        PUT     0x2000, 0x05
        CHECK_BANK1 5, ^/"bank 5"/
        PUT     0x3FFF, 0x1F
        CHECK_BANK1 0x1F, ^/"bank 0x1f (written at 0x3fff)"/
        PUT     0x2000, 0xE3
        CHECK_BANK1 3, ^/"0xe3: five bits kept"/

        PUT     0x4000, 1
        PUT     0x2000, 2
        CHECK_BANK1 0x22, ^/"upper bits 1: bank 0x22"/
        PUT     0x2000, 0
        CHECK_BANK1 0x21, ^/"bank 0x20 reads as 0x21"/
        PUT     0x4000, 2
        CHECK_BANK1 0x01, ^/"bank 0x40 reads as 0x41, which wraps to 1"/
        PUT     0x5FFF, 3
        PUT     0x2000, 5
        CHECK_BANK1 0x25, ^/"bank 0x65 wraps to 0x25"/

        ; mode 0: 0x0000-0x3FFF stays bank 0 whatever the upper bits
        ld      a, (MARK0)
        ld      b, #0
        call    check_eq
        .asciz  "mode 0: bank 0 at 0x0000"

; ---- mode 1: the upper bits select the bank at 0x0000 too
        PUT     0x2000, 2
        ld      b, #1
        call    WRAM_RUN
        ld      a, d
        ld      b, #0x20
        call    check_eq
        .asciz  "mode 1, upper bits 1: bank 0x20 at 0x0000"
        ld      a, e
        ld      b, #0x22
        call    check_eq
        .asciz  "mode 1, upper bits 1: bank 0x22 at 0x4000"
        ld      b, #2
        call    WRAM_RUN
        ld      a, d
        ld      b, #0x00
        call    check_eq
        .asciz  "mode 1, upper bits 2: bank 0x40 wraps to 0"
        ld      b, #3
        call    WRAM_RUN
        ld      a, d
        ld      b, #0x20
        call    check_eq
        .asciz  "mode 1, upper bits 3: bank 0x60 wraps to 0x20"
        ld      a, (MARK0)
        ld      b, #0
        call    check_eq
        .asciz  "back in mode 0: bank 0 at 0x0000"

; ---- RAM
        ld      a, (0xA000)
        ld      b, #0xFF
        call    check_eq
        .asciz  "ram disabled at power-on reads 0xff"
        PUT     0x0000, 0x0A
        PUT     0xA000, 0x5A
        PUT     0xBFFF, 0x96
        ld      a, (0xA000)
        ld      b, #0x5A
        call    check_eq
        .asciz  "ram enabled: 0xa000 kept"
        ld      a, (0xBFFF)
        ld      b, #0x96
        call    check_eq
        .asciz  "ram enabled: 0xbfff kept"
        PUT     0x1FFF, 0x00
        ld      a, (0xA000)
        ld      b, #0xFF
        call    check_eq
        .asciz  "ram disabled again reads 0xff"
        PUT     0xA000, 0x11            ; ignored
        PUT     0x0000, 0x1A            ; low four bits 0xA: enabled
        ld      a, (0xA000)
        ld      b, #0x5A
        call    check_eq
        .asciz  "0x1a enables; a write while disabled is lost"
        ld      b, #1
        call    WRAM_RUN
        ld      a, c
        ld      b, #0x5A
        call    check_eq
        .asciz  "mode 1, upper bits 1: still the one ram bank"
        PUT     0x0000, 0x00

        jp      finish

; Copied to work RAM and run there. b: the upper bits; mode 1 on the way in,
; mode 0 and upper bits 0 on the way out. d: the bank at 0x0000, e: the one
; at 0x4000, c: the RAM byte at 0xA000, all in mode 1.
read_low_bank:
        ld      a, #1
        ld      (0x6000), a
        ld      a, b
        ld      (0x4000), a
        ld      a, (MARK0)
        ld      d, a
        ld      a, (MARK1)
        ld      e, a
        ld      a, (0xA000)
        ld      c, a
        xor     a
        ld      (0x4000), a
        ld      (0x6000), a
        ret
read_low_bank_end:

        .include "lib.inc"

        BANK_MARKS 64
