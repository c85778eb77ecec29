; HALT on the handheld. It waits until IF & IE is non-zero, then:
;  - with IME set, the handler is called before the instruction after HALT;
;  - with IME clear, the CPU goes on after HALT without a dispatch;
;  - with IME clear and an interrupt already pending when HALT runs, HALT
;    ends at once and PC fails to move past the next byte, which is
;    therefore executed twice (the HALT bug);
;  - EI just before such a HALT: the handler is called, and it returns to
;    the HALT, which waits again for the next interrupt.
; The timer's overflow (TIMA from 0xF0 at 262144 Hz: 256 clock cycles) is
; the interrupt waited for.

        .include "hw.inc"

isr_n   = 0xC000                ; how often the timer handler was entered
isr_c   = 0xC001                ; c as the handler found it (the first time)
res0    = 0xC010                ; values taken before any printing
res1    = 0xC011
res2    = 0xC012

        .area   _HOME (ABS)

        RST_TRAPS
        TRAP_AT 0x40
        TRAP_AT 0x48
        .org    0x50
        nop                             ; run twice by a bugged HALT's dispatch, harmlessly
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

; ---- IME set: HALT waits, the handler runs before the next instruction
        call    arm_timer
        ld      c, #0
        ei
        nop
        halt
        inc     c
        di
        ld      a, c
        ld      (res0), a
        ld      a, (isr_n)
        ld      b, #1
        call    check_eq
        .asciz  "ime set: handler entered"
        ld      a, (isr_c)
        ld      b, #0
        call    check_eq
        .asciz  "ime set: handler before the next instruction"
        ld      a, (res0)
        ld      b, #1
        call    check_eq
        .asciz  "ime set: next instruction once"

; ---- IME clear, nothing pending that IE enables (VBlank requested but
; not enabled): HALT waits for the timer, then goes on without a dispatch
        call    arm_timer
        ld      a, #0x01
        ldh     (IF), a
        ld      b, #0
        halt
        inc     b
        ldh     a, (TIMA)
        ld      (res0), a
        ldh     a, (IF)
        ld      (res1), a
        ld      a, b
        ld      (res2), a
        ld      a, (res0)
        ld      b, #0
        ld      c, #2
        call    check_range
        .asciz  "ime clear: tima just after the overflow"
        ld      a, (res1)
        and     #0x05
        ld      b, #0x05
        call    check_eq
        .asciz  "ime clear: if bits 0 and 2 after the wait"
        ld      a, (isr_n)
        ld      b, #0
        call    check_eq
        .asciz  "ime clear: no handler"
        ld      a, (res2)
        ld      b, #1
        call    check_eq
        .asciz  "ime clear: next instruction once"

; ---- IME clear, the timer already pending: the HALT bug
        call    arm_timer
        ld      a, #0x04
        ldh     (IF), a
        ld      b, #0
        halt
        inc     b
        ld      a, b
        ld      (res0), a
        ld      a, (isr_n)
        ld      b, #0
        call    check_eq
        .asciz  "halt bug: no handler"
        ld      a, (res0)
        ld      b, #2
        call    check_eq
        .asciz  "halt bug: next byte run twice"

; ---- EI, then HALT with the timer already pending: the handler returns to
; the HALT, which waits for the next overflow (TMA 0: 4096 clocks on)
        call    arm_timer
        ld      a, #0x04
        ldh     (IF), a
        ld      c, #0
        ei
        halt
        inc     c
        di
        ld      a, c
        ld      (res0), a
        ld      a, (isr_n)
        ld      b, #2
        call    check_eq
        .asciz  "ei, halt, pending: handler entered twice"
        ld      a, (res0)
        ld      b, #1
        call    check_eq
        .asciz  "ei, halt, pending: next instruction once"

        xor     a
        ldh     (TAC), a
        jp      finish

; The timer set to overflow 256 clock cycles on (and every 4096 after), IE
; = timer only, IF and the handler's record cleared.
arm_timer:
        xor     a
        ldh     (TAC), a
        ldh     (TMA), a
        ld      (isr_n), a
        ld      a, #0xFF
        ld      (isr_c), a
        ld      a, #0xF0
        ldh     (TIMA), a
        ld      a, #0x04
        ldh     (IE), a
        xor     a
        ldh     (IF), a
        ld      a, #TAC_16
        ldh     (TAC), a
        ret

timer_isr:
        push    af
        ld      a, (isr_n)
        or      a
        jr      nz, 1$
        ld      a, c
        ld      (isr_c), a
        xor     a
1$:     inc     a
        ld      (isr_n), a
        pop     af
        reti

        .include "lib.inc"
