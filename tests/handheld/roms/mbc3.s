; MBC3 with its clock, on a 1 MiB cartridge (64 banks) with 32 KiB of RAM.
;
; 0x2000-0x3FFF: seven bits of ROM bank, 0 counting as 1 but 0x20, 0x40
; and 0x60 reachable, wrapping at the cartridge's size; 0x4000-0x5FFF: RAM
; bank 0-3, or clock register 0x08-0x0C (seconds, minutes, hours, day low,
; day high: bit 0 day bit 8, bit 6 halt, bit 7 day carry) at A000-BFFF;
; 0x0000-0x1FFF: 0x0A enables RAM and clock, 0x00 disables them; 0x6000:
; writing 0 then 1 copies the running clock into the registers read.
;
; The clock checks wait whole frames (LY reaching 144 again): 60 frames
; are 70224 * 60 clock cycles, 1.0046 s. The first tick after the halt bit
; clears may come up to a second early (the part second is kept), so the
; running checks allow a second's slack.

        .include "hw.inc"

RTC_S  = 0x08
RTC_M  = 0x09
RTC_H  = 0x0A
RTC_DL = 0x0B
RTC_DH = 0x0C
secs   = 0xC000                 ; a seconds value read, for a later check

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
        CHECK_BANK1 1, ^/"bank 0 selects bank 1"/
        PUT     0x2000, 0x20
        CHECK_BANK1 0x20, ^/"bank 0x20"/
        PUT     0x3FFF, 0x3F
        CHECK_BANK1 0x3F, ^/"bank 0x3f (written at 0x3fff)"/
        PUT     0x2000, 0x45
        CHECK_BANK1 0x05, ^/"bank 0x45 wraps to 5"/
        PUT     0x2000, 0x7F
        CHECK_BANK1 0x3F, ^/"bank 0x7f wraps to 0x3f"/

; ---- RAM banks
        ld      a, (0xA000)
        ld      b, #0xFF
        call    check_eq
        .asciz  "ram disabled at power-on reads 0xff"
        PUT     0x0000, 0x0A
        ld      c, #0
1$:     ld      a, c
        ld      (0x4000), a
        add     #0x30
        ld      (0xA000), a
        inc     c
        ld      a, c
        cp      #4
        jr      nz, 1$
        PUT     0x4000, 0
        ld      a, (0xA000)
        ld      b, #0x30
        call    check_eq
        .asciz  "ram bank 0"
        PUT     0x4000, 3
        ld      a, (0xA000)
        ld      b, #0x33
        call    check_eq
        .asciz  "ram bank 3"
        PUT     0x4000, 1
        ld      a, (0xA000)
        ld      b, #0x31
        call    check_eq
        .asciz  "ram bank 1"
        PUT     0x0000, 0x00
        ld      a, (0xA000)
        ld      b, #0xFF
        call    check_eq
        .asciz  "ram disabled reads 0xff"
        PUT     0x0000, 0x0A

; ---- the clock, halted: set to 0 days 00:00:05
        ld      bc, #(RTC_DH << 8) | 0x40
        call    rtc_write
        ld      bc, #(RTC_S << 8) | 5
        call    rtc_write
        ld      bc, #(RTC_M << 8) | 0
        call    rtc_write
        ld      bc, #(RTC_H << 8) | 0
        call    rtc_write
        ld      bc, #(RTC_DL << 8) | 0
        call    rtc_write
        call    latch
        ld      b, #RTC_S
        call    rtc_read
        ld      b, #5
        call    check_eq
        .asciz  "clock: seconds as written, latched"
        ld      b, #RTC_DH
        call    rtc_read
        ld      b, #0x40
        call    check_eq
        .asciz  "clock: day high with the halt bit"
        ld      b, #90
        call    wait_frames
        call    latch
        ld      b, #RTC_S
        call    rtc_read
        ld      b, #5
        call    check_eq
        .asciz  "clock halted: 1.5 s later still 5 seconds"

        ; the registers' widths: unused bits read 0
        ld      bc, #(RTC_S << 8) | 0xFF
        call    rtc_write
        ld      bc, #(RTC_H << 8) | 0xFF
        call    rtc_write
        ld      bc, #(RTC_DH << 8) | 0xFF
        call    rtc_write
        call    latch
        ld      b, #RTC_S
        call    rtc_read
        ld      b, #0x3F
        call    check_eq
        .asciz  "clock: seconds keep six bits"
        ld      b, #RTC_H
        call    rtc_read
        ld      b, #0x1F
        call    check_eq
        .asciz  "clock: hours keep five bits"
        ld      b, #RTC_DH
        call    rtc_read
        ld      b, #0xC1
        call    check_eq
        .asciz  "clock: day high keeps bits 0, 6 and 7"
        ld      bc, #(RTC_DH << 8) | 0x40
        call    rtc_write
        ld      bc, #(RTC_S << 8) | 5
        call    rtc_write
        ld      bc, #(RTC_H << 8) | 0
        call    rtc_write

; ---- running: 2.5 s on from 5 seconds
        ld      bc, #(RTC_DH << 8) | 0x00
        call    rtc_write
        ld      b, #150
        call    wait_frames
        call    latch
        ld      b, #RTC_S
        call    rtc_read
        ld      (secs), a
        ld      b, #7
        ld      c, #8
        call    check_range
        .asciz  "clock running: 2.5 s on from 5 seconds"
        ld      b, #RTC_M
        call    rtc_read
        ld      b, #0
        call    check_eq
        .asciz  "clock running: minutes still 0"

; ---- the latched copy stands still until the next latch
        ld      b, #90
        call    wait_frames
        ld      b, #RTC_S
        call    rtc_read
        ld      hl, #secs
        ld      b, (hl)
        call    check_eq
        .asciz  "latched seconds stand without a new latch"
        call    latch
        ld      b, #RTC_S
        call    rtc_read
        ld      hl, #secs
        ld      b, (hl)
        inc     b
        ld      c, b
        inc     c
        call    check_range
        .asciz  "a new latch: 1.5 s more"

; ---- day 511, 23:59:59 runs over into day 0 with the carry
        ld      bc, #(RTC_DH << 8) | 0x41
        call    rtc_write
        ld      bc, #(RTC_S << 8) | 59
        call    rtc_write
        ld      bc, #(RTC_M << 8) | 59
        call    rtc_write
        ld      bc, #(RTC_H << 8) | 23
        call    rtc_write
        ld      bc, #(RTC_DL << 8) | 0xFF
        call    rtc_write
        ld      bc, #(RTC_DH << 8) | 0x01
        call    rtc_write
        ld      b, #90
        call    wait_frames
        call    latch
        ld      b, #RTC_S
        call    rtc_read
        ld      b, #0
        ld      c, #1
        call    check_range
        .asciz  "rollover: seconds"
        ld      b, #RTC_M
        call    rtc_read
        ld      b, #0
        call    check_eq
        .asciz  "rollover: minutes"
        ld      b, #RTC_H
        call    rtc_read
        ld      b, #0
        call    check_eq
        .asciz  "rollover: hours"
        ld      b, #RTC_DL
        call    rtc_read
        ld      b, #0
        call    check_eq
        .asciz  "rollover: day low"
        ld      b, #RTC_DH
        call    rtc_read
        ld      b, #0x80
        call    check_eq
        .asciz  "rollover: day bit 8 clear, carry set"

        PUT     0x4000, 0
        PUT     0x0000, 0x00
        jp      finish

; b: the clock register, c: the value.
rtc_write:
        ld      a, b
        ld      (0x4000), a
        ld      a, c
        ld      (0xA000), a
        ret

; b: the clock register; a: its latched value.
rtc_read:
        ld      a, b
        ld      (0x4000), a
        ld      a, (0xA000)
        ret

latch:
        xor     a
        ld      (0x6000), a
        inc     a
        ld      (0x6000), a
        ret

; b: frames to wait (LY entering 144 b times).
wait_frames:
1$:     ldh     a, (LY)
        cp      #144
        jr      z, 1$
2$:     ldh     a, (LY)
        cp      #144
        jr      nz, 2$
        dec     b
        jr      nz, 1$
        ret

        .include "lib.inc"

        BANK_MARKS 64
