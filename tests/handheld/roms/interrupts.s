; The handheld's interrupts: the order several pending ones are taken in
; (bit 0 VBlank first, bit 4 joypad last), EI taking effect after the next
; instruction, DI, RETI enabling at once while RET does not, IF's unused
; bits 5-7 reading 1, and the dispatch whose push of PC's upper byte lands
; on IE (SP = 0x0000): the interrupt is then chosen from the new IE, and with
; none left the dispatch is cancelled and PC becomes 0x0000.
;
; Every interrupt vector logs its address and returns by RETI, or by RET
; when isr_ret is set. The interrupts are requested by writing IF.

        .include "hw.inc"

log_n   = 0xC000                ; how many vectors were entered
isr_b   = 0xC001                ; b as the last handler found it
isr_ret = 0xC002                ; non-zero: the handlers return with RET
at_zero_ok = 0xC003             ; set when 0x0000 is reached on purpose
res_if  = 0xC004                ; IF (or IE) as an experiment left it, before any printing
log     = 0xC010                ; the vectors entered, in order

        .area   _HOME (ABS)

        .org    0x00
        jp      at_zero
        TRAP_AT 0x08
        TRAP_AT 0x10
        TRAP_AT 0x18
        TRAP_AT 0x20
        TRAP_AT 0x28
        TRAP_AT 0x30
        TRAP_AT 0x38
        .org    0x40
        push    af
        ld      a, #0x40
        jp      log_isr
        .org    0x48
        push    af
        ld      a, #0x48
        jp      log_isr
        .org    0x50
        push    af
        ld      a, #0x50
        jp      log_isr
        .org    0x58
        push    af
        ld      a, #0x58
        jp      log_isr
        .org    0x60
        push    af
        ld      a, #0x60
        jp      log_isr

        ENTRY_POINT
start:
        di
        ld      sp, #STACK_TOP
        call    lib_init
        xor     a
        ldh     (IE), a
        ld      (at_zero_ok), a

; ---- IF: bits 5-7 have no flag behind them and read 1
        xor     a
        ldh     (IF), a
        ldh     a, (IF)
        ld      b, #0xE0
        call    check_eq
        .asciz  "if after writing 0x00"
        ld      a, #0x1F
        ldh     (IF), a
        ldh     a, (IF)
        ld      b, #0xFF
        call    check_eq
        .asciz  "if after writing 0x1f"

; ---- all five pending and enabled: taken in bit order, each RETI letting
; the next one in at once
        call    reset_log
        ld      a, #0x1F
        ldh     (IE), a
        ldh     (IF), a
        ei
        nop
        nop
        di
        ldh     a, (IF)
        ld      (res_if), a
        ld      a, (log_n)
        ld      b, #5
        call    check_eq
        .asciz  "five pending: interrupts taken"
        ld      a, (log + 0)
        ld      b, #0x40
        call    check_eq
        .asciz  "first taken: vblank"
        ld      a, (log + 1)
        ld      b, #0x48
        call    check_eq
        .asciz  "second taken: lcd status"
        ld      a, (log + 2)
        ld      b, #0x50
        call    check_eq
        .asciz  "third taken: timer"
        ld      a, (log + 3)
        ld      b, #0x58
        call    check_eq
        .asciz  "fourth taken: serial"
        ld      a, (log + 4)
        ld      b, #0x60
        call    check_eq
        .asciz  "fifth taken: joypad"
        ld      a, (res_if)
        and     #0x1F
        ld      b, #0
        call    check_eq
        .asciz  "if after all five were taken"

; ---- IE picks: all pending, timer and joypad enabled
        call    reset_log
        ld      a, #0x14
        ldh     (IE), a
        ld      a, #0x1F
        ldh     (IF), a
        ei
        nop
        nop
        di
        ldh     a, (IF)
        ld      (res_if), a
        ld      a, (log_n)
        ld      b, #2
        call    check_eq
        .asciz  "ie 0x14: interrupts taken"
        ld      a, (log + 0)
        ld      b, #0x50
        call    check_eq
        .asciz  "ie 0x14: first taken"
        ld      a, (log + 1)
        ld      b, #0x60
        call    check_eq
        .asciz  "ie 0x14: second taken"
        ld      a, (res_if)
        and     #0x1F
        ld      b, #0x0B
        call    check_eq
        .asciz  "ie 0x14: if keeps the others"

; ---- EI: interrupts are taken only after the instruction that follows it
        call    reset_log
        ld      a, #0x04
        ldh     (IE), a
        ldh     (IF), a
        ld      b, #0
        ei
        inc     b
        inc     b
        di
        ld      a, (isr_b)
        ld      b, #1
        call    check_eq
        .asciz  "ei: taken after one instruction"

        call    reset_log
        ld      a, #0x04
        ldh     (IE), a
        ldh     (IF), a
        ei
        di
        nop
        ld      a, (log_n)
        ld      b, #0
        call    check_eq
        .asciz  "ei then di: none taken"

; ---- DI: a pending, enabled interrupt waits
        call    reset_log
        ld      a, #0x04
        ldh     (IE), a
        ldh     (IF), a
        nop
        nop
        ldh     a, (IF)
        ld      (res_if), a
        ld      a, (log_n)
        ld      b, #0
        call    check_eq
        .asciz  "ime clear: none taken"
        ld      a, (res_if)
        and     #0x1F
        ld      b, #0x04
        call    check_eq
        .asciz  "ime clear: if bit 2 still set"

; ---- RET from a handler leaves IME clear: the second pending one waits
        call    reset_log
        ld      a, #1
        ld      (isr_ret), a
        ld      a, #0x05
        ldh     (IE), a
        ldh     (IF), a
        ei
        nop
        nop
        nop
        di
        ldh     a, (IF)
        ld      (res_if), a
        xor     a
        ld      (isr_ret), a
        ld      a, (log_n)
        ld      b, #1
        call    check_eq
        .asciz  "ret from a handler: interrupts taken"
        ld      a, (res_if)
        and     #0x1F
        ld      b, #0x04
        call    check_eq
        .asciz  "ret from a handler: timer still pending"

; ---- RETI sets IME with no delay: taken before the instruction it returns to
        call    reset_log
        ld      a, #0x04
        ldh     (IE), a
        ldh     (IF), a
        ld      b, #0
        call    just_reti
        inc     b
        di
        ld      a, (log_n)
        ld      b, #1
        call    check_eq
        .asciz  "reti: interrupts taken"
        ld      a, (isr_b)
        ld      b, #0
        call    check_eq
        .asciz  "reti: taken before the next instruction"

; ---- the dispatch's push of PC's upper byte (0x0A) lands on IE, SP = 0
        call    reset_log
        ld      a, #1
        ld      (at_zero_ok), a
        ld      a, #0x04
        ldh     (IE), a
        ldh     (IF), a
        ld      sp, #0x0000
        jp      ie_push_0a00

; Reached through 0x0000 from the cancelled dispatch (SP is then 0xFFFE).
after_cancel:
        ld      sp, #STACK_TOP
        ld      a, (res_if)
        ld      b, #0x0A
        call    check_eq
        .asciz  "ie after the push of pc's upper byte"
        ld      a, (log_n)
        ld      b, #0
        call    check_eq
        .asciz  "ie push: the timer handler not entered"
        jp      finish

; No interrupt left once the push has written IE: we should never get here.
ie_push_missed:
        ld      sp, #STACK_TOP
        ld      a, #0
        ld      b, #1
        call    check_eq
        .asciz  "ie push: dispatch cancelled, pc 0x0000"
        jp      finish

at_zero:
        ldh     a, (IE)
        ld      (res_if), a
        ld      a, (at_zero_ok)
        or      a
        jr      z, 1$
        ld      sp, #STACK_TOP
        xor     a
        ld      (at_zero_ok), a
        ld      b, a                    ; reaching here is the check
        call    check_eq
        .asciz  "ie push: dispatch cancelled, pc 0x0000"
        jp      after_cancel
1$:     ld      a, #0x00
        jp      trap

just_reti:
        reti

reset_log:
        xor     a
        ld      (log_n), a
        ld      (isr_b), a
        ldh     (IF), a
        ; keep well away from line 144, where the picture requests VBlank
1$:     ldh     a, (LY)
        cp      #0x10
        jr      nz, 1$
        ret

; a: the vector entered (af is on the stack).
log_isr:
        push    hl
        push    de
        ld      e, a
        ld      hl, #log_n
        ld      a, (hl)
        inc     (hl)
        add     #<log
        ld      l, a
        ld      (hl), e
        ld      a, b
        ld      (isr_b), a
        ld      a, (isr_ret)
        or      a
        pop     de
        pop     hl
        jr      nz, 1$
        pop     af
        reti
1$:     pop     af
        ret

        .include "lib.inc"

; With PC at 0x0A02 the upper byte pushed is 0x0A: IE becomes 0x0A, which
; leaves no pending interrupt enabled.
        .org    0x0A00
ie_push_0a00:
        ei
        nop
        nop
        nop
        jp      ie_push_missed
