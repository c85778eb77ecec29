; The handheld's serial port with nothing plugged in. On the internal clock
; (SC = 0x81) a byte shifts out at 8192 Hz: 8 bits in 4096 clock cycles,
; then SC bit 7 clears, IF bit 3 is set and SB holds what came in, all 1s
; with no partner. On the external clock (SC = 0x80) the transfer waits for
; a clock that never comes.
;
; The bytes these checks send are newlines: they land in the output between
; the lines of the report.

        .include "hw.inc"

isr_hit = 0xC000                ; the vector the serial handler was entered by
res0    = 0xC010                ; values taken before any printing
res1    = 0xC011
res2    = 0xC012
res3    = 0xC013

        .area   _HOME (ABS)

        RST_TRAPS
        TRAP_AT 0x40
        TRAP_AT 0x48
        TRAP_AT 0x50
        .org    0x58
        jp      serial_isr
        TRAP_AT 0x60

        ENTRY_POINT
start:
        di
        ld      sp, #STACK_TOP
        call    lib_init
        xor     a
        ldh     (IE), a

; ---- internal clock: timed with TIMA at 65536 Hz (64 clock cycles a step),
; started with the counter from 0. The transfer starts at counter 32; the
; poll sees its end within 32 clock cycles and TIMA is read 12 later. The
; hardware's serial clock runs freely, so the first bit may come up to a bit
; (512 clock cycles) early: 56 to 66 steps.
        xor     a
        ldh     (TAC), a
        ldh     (TIMA), a
        ldh     (IF), a
        ld      a, #0x0A
        ldh     (SB), a
        ld      a, #TAC_64
        ldh     (DIV), a                ; counter 0
        ldh     (TAC), a                ; 12
        ld      a, #0x81
        ldh     (SC), a                 ; 32: the transfer starts
        ldh     a, (SC)
        ld      d, a
1$:     ldh     a, (SC)
        bit     7, a
        jr      nz, 1$
        ldh     a, (TIMA)
        ld      (res0), a
        ldh     a, (IF)
        ld      (res1), a
        ldh     a, (SB)
        ld      (res2), a
        ldh     a, (SC)
        ld      (res3), a
        xor     a
        ldh     (TAC), a

        ld      a, d
        and     #0x81
        ld      b, #0x81
        call    check_eq
        .asciz  "sc bit 7 set during the transfer"
        ld      a, (res0)
        ld      b, #56
        ld      c, #66
        call    check_range
        .asciz  "internal clock: 8 bits in 4096 clocks, 64 clocks a step"
        ld      a, (res1)
        and     #0x08
        ld      b, #0x08
        call    check_eq
        .asciz  "if bit 3 set at the end"
        ld      a, (res2)
        ld      b, #0xFF
        call    check_eq
        .asciz  "sb reads 0xff with no partner"
        ld      a, (res3)
        and     #0x81
        ld      b, #0x01
        call    check_eq
        .asciz  "sc bit 7 clear at the end"

; ---- the serial interrupt, taken at 0x58
        xor     a
        ld      (isr_hit), a
        ldh     (IF), a
        ld      a, #0x08
        ldh     (IE), a
        ld      a, #0x0A
        ldh     (SB), a
        ld      a, #0x81
        ldh     (SC), a
        ei
        halt
        nop
        di
        ld      a, (isr_hit)
        ld      b, #0x58
        call    check_eq
        .asciz  "serial interrupt taken at 0x58"

; ---- external clock: after three transfers' time nothing has moved
        xor     a
        ldh     (IF), a
        ld      a, #0x42
        ldh     (SB), a
        ld      a, #0x80
        ldh     (SC), a
        ld      c, #12                  ; 12 * 1024 machine cycles
2$:     DELAY   1020
        dec     c
        jr      nz, 2$
        ldh     a, (SC)
        ld      (res0), a
        ldh     a, (IF)
        ld      (res1), a
        ldh     a, (SB)
        ld      (res2), a
        xor     a
        ldh     (SC), a

        ld      a, (res0)
        and     #0x81
        ld      b, #0x80
        call    check_eq
        .asciz  "external clock: sc bit 7 still set"
        ld      a, (res1)
        and     #0x08
        ld      b, #0
        call    check_eq
        .asciz  "external clock: if bit 3 clear"
        ld      a, (res2)
        ld      b, #0x42
        call    check_eq
        .asciz  "external clock: sb unchanged"

        jp      finish

serial_isr:
        push    af
        ld      a, #0x58
        ld      (isr_hit), a
        pop     af
        reti

        .include "lib.inc"
