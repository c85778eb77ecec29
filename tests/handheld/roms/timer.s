; The handheld's divider and timer, timed against the documented rates.
;
; DIV is the upper byte of a counter of clock cycles (4 a machine cycle), so
; it steps every 256 clock cycles (16384 Hz) and a write sets it to 0. TIMA
; steps at the rate TAC picks (every 1024, 16, 64 or 256 clock cycles) and,
; on passing 0xFF, takes TMA's value and requests the timer interrupt (IF
; bit 2), taken at 0x50.
;
; Each timed check writes DIV, so that the counter starts from 0 at a known
; machine cycle, then reads after a counted number of machine cycles: an ldh
; writes or reads in its third machine cycle, so a read K cycles of other
; code after the write sees the counter at 4 * (K + 3). The reads are placed
; half a step away from any change, so that being a cycle early or late on
; the hardware does not matter.

        .include "hw.inc"

isr_hit = 0xC000                ; the vector the timer handler was entered by
isr_if  = 0xC001                ; IF as the handler found it
res0    = 0xC010                ; results of the overflow check
res1    = 0xC011
res2    = 0xC012
res3    = 0xC013

        .area   _HOME (ABS)

        RST_TRAPS
        TRAP_AT 0x40
        TRAP_AT 0x48
        .org    0x50
        jp      timer_isr
        TRAP_AT 0x58
        TRAP_AT 0x60

        ENTRY_POINT
start:
        di
        ld      sp, #STACK_TOP
        call    lib_init
        xor     a
        ldh     (IE), a
        ldh     (IF), a
        ldh     (TAC), a

; ---- DIV: 0 after a write, then one step every 64 machine cycles
        ldh     (DIV), a                ; counter 0
        DELAY   29
        ldh     a, (DIV)                ; counter 4 * 32 = 128
        ld      b, #0
        call    check_eq
        .asciz  "div 128 clocks after a write"

        ldh     (DIV), a
        DELAY   93
        ldh     a, (DIV)                ; 4 * 96 = 384
        ld      b, #1
        call    check_eq
        .asciz  "div 384 clocks after a write"

        ldh     (DIV), a
        DELAY   1000
        DELAY   309
        ldh     a, (DIV)                ; 4 * 1312 = 5248 = 20.5 steps
        ld      b, #20
        call    check_eq
        .asciz  "div 5248 clocks after a write"

; ---- TIMA at each rate. TAC is written 3 machine cycles after DIV
; (counter 12): before the first falling edge of the selected counter bit
; at every rate, so TIMA = counter / period at the read, K + 6 cycles on.
        xor     a
        ldh     (TAC), a
        ldh     (TIMA), a
        ld      a, #TAC_1024
        ldh     (DIV), a
        ldh     (TAC), a
        DELAY   1000
        DELAY   402
        ldh     a, (TIMA)               ; 4 * 1408 = 5632 = 5.5 * 1024
        ld      b, #5
        call    check_eq
        .asciz  "tima at 4096 Hz, 5632 clocks"

        xor     a
        ldh     (TAC), a
        ldh     (TIMA), a
        ld      a, #TAC_16
        ldh     (DIV), a
        ldh     (TAC), a
        DELAY   396
        ldh     a, (TIMA)               ; 4 * 402 = 1608 = 100.5 * 16
        ld      b, #100
        call    check_eq
        .asciz  "tima at 262144 Hz, 1608 clocks"

        xor     a
        ldh     (TAC), a
        ldh     (TIMA), a
        ld      a, #TAC_64
        ldh     (DIV), a
        ldh     (TAC), a
        DELAY   802
        ldh     a, (TIMA)               ; 4 * 808 = 3232 = 50.5 * 64
        ld      b, #50
        call    check_eq
        .asciz  "tima at 65536 Hz, 3232 clocks"

        xor     a
        ldh     (TAC), a
        ldh     (TIMA), a
        ld      a, #TAC_256
        ldh     (DIV), a
        ldh     (TAC), a
        DELAY   1000
        DELAY   306
        ldh     a, (TIMA)               ; 4 * 1312 = 5248 = 20.5 * 256
        ld      b, #20
        call    check_eq
        .asciz  "tima at 16384 Hz, 5248 clocks"

        xor     a
        ldh     (TAC), a
        ld      a, #TAC_16
        ldh     (TAC), a
        ld      a, #0x80
        ldh     (TIMA), a
        ld      a, #0x01                ; the rate kept, the enable bit clear
        ldh     (TAC), a
        DELAY   200
        ldh     a, (TIMA)
        ld      c, a
        DELAY   200
        ld      b, c
        ldh     a, (TIMA)
        call    check_eq                ; unchanged over 800 clocks
        .asciz  "tima stands while TAC bit 2 is clear"

; ---- TIMA counts falling edges of (selected counter bit AND enable), so a
; write that drops that signal counts a step: a DIV write while the bit is
; 1, or disabling the timer then. At 4096 Hz the bit is counter bit 9: 1
; from 512 to 1023, 0 below.
        xor     a
        ldh     (TAC), a
        ldh     (TIMA), a
        ld      a, #TAC_1024
        ldh     (DIV), a                ; counter 0
        ldh     (TAC), a                ; 12
        DELAY   186
        ldh     (DIV), a                ; 4 * (3 + 186 + 3) = 768: bit 9 is 1
        ldh     a, (TIMA)
        ld      b, #1
        call    check_eq
        .asciz  "div write with the selected bit 1 steps tima"

        xor     a
        ldh     (TAC), a
        ldh     (TIMA), a
        ld      a, #TAC_1024
        ldh     (DIV), a
        ldh     (TAC), a
        DELAY   58
        ldh     (DIV), a                ; 4 * 64 = 256: bit 9 is 0
        ldh     a, (TIMA)
        ld      b, #0
        call    check_eq
        .asciz  "div write with the selected bit 0 leaves tima"

        xor     a
        ldh     (TAC), a
        ldh     (TIMA), a
        ld      a, #TAC_1024
        ldh     (DIV), a
        ldh     (TAC), a
        xor     a                       ; 1
        DELAY   185
        ldh     (TAC), a                ; 4 * (3 + 1 + 185 + 3) = 768: disabled
        ldh     a, (TIMA)
        ld      b, #1
        call    check_eq
        .asciz  "disabling with the selected bit 1 steps tima"

; ---- overflow, at 65536 Hz from 0xFE: 0xFF at counter 64, the overflow
; at 128 (TMA loaded and IF bit 2 set a machine cycle later), 0xF1 at 192.
        xor     a
        ldh     (TAC), a
        ldh     (IF), a
        ld      a, #0xF0
        ldh     (TMA), a
        ld      a, #0xFE
        ldh     (TIMA), a
        ld      a, #TAC_64
        ldh     (DIV), a                ; counter 0
        ldh     (TAC), a                ; 12
        DELAY   18
        ldh     a, (TIMA)               ; 4 * 24 = 96
        ld      c, a
        ldh     a, (IF)                 ; 96 + 16 = 112
        ld      d, a
        DELAY   24
        ldh     a, (TIMA)               ; 112 + 4 * (1 + 24 + 3) = 224
        ld      e, a
        ldh     a, (IF)                 ; 240
        ld      (res3), a
        ld      a, c
        ld      (res0), a
        ld      a, d
        ld      (res1), a
        ld      a, e
        ld      (res2), a

        ld      a, (res0)
        ld      b, #0xFF
        call    check_eq
        .asciz  "tima before the overflow"
        ld      a, (res1)
        and     #0x04
        ld      b, #0
        call    check_eq
        .asciz  "if bit 2 clear before the overflow"
        ld      a, (res2)
        ld      b, #0xF1
        call    check_eq
        .asciz  "tima reloaded from tma, one step on"
        ld      a, (res3)
        and     #0x04
        ld      b, #0x04
        call    check_eq
        .asciz  "if bit 2 set by the overflow"

; ---- the interrupt, taken at 0x50 with IME set; the dispatch clears IF bit 2
        xor     a
        ldh     (TAC), a
        ldh     (TMA), a
        ld      (isr_hit), a
        ld      a, #0xFF
        ld      (isr_if), a
        ldh     (TIMA), a
        xor     a
        ldh     (IF), a
        ld      a, #0x04
        ldh     (IE), a
        ld      a, #TAC_16
        ldh     (TAC), a                ; overflow 16 clocks on at the latest
        ei
        ld      c, #0                   ; 256 polls of 7 cycles: the timeout
1$:     ld      a, (isr_hit)
        or      a
        jr      nz, 2$
        dec     c
        jr      nz, 1$
2$:     di
        ld      a, (isr_hit)
        ld      b, #0x50
        call    check_eq
        .asciz  "timer interrupt taken at 0x50"
        ld      a, (isr_if)
        and     #0x04
        ld      b, #0
        call    check_eq
        .asciz  "if bit 2 cleared by the dispatch"

        xor     a
        ldh     (TAC), a
        jp      finish

timer_isr:
        push    af
        ldh     a, (IF)
        ld      (isr_if), a
        ld      a, #0x50
        ld      (isr_hit), a
        pop     af
        reti

        .include "lib.inc"
