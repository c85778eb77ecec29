; The picture unit's clock as the CPU sees it: LY stepping once a line, the
; VBlank request at line 144, the LY=LYC flag, STAT's mode early and late in
; a line (mode 3 longer with ten sprites on it), the LCD-status interrupt
; counted over a frame for each source and with one source holding the
; shared line high through another, the STAT write that requests the
; interrupt in VBlank, LY reading 0 while line 153 is still in VBlank, and
; the LCD switched off (LY 0, mode 0) and on again.
;
; The experiments run first, their results kept in work RAM; the printing
; (slow, through the serial port) comes after. The mode checks wake from
; HALT at a line's start through the LY=LYC interrupt (IME clear) and read
; STAT a counted number of cycles later, with margins of a dozen dots and
; more either side of each mode's end.

        .include "hw.inc"
        .include "ppu.inc"

cnt     = 0xC000                ; LCD-status interrupts taken
res     = 0xC010                ; results, one byte each, in the order below
R_LY11      = 0
R_IF143     = 1
R_IF144     = 2
R_EQ30      = 3
R_EQ31      = 4
R_MODE_0    = 5
R_MODE_88   = 6
R_MODE_264  = 7
R_SPR_264   = 8
R_SPR_360   = 9
R_CNT_HBL   = 10
R_CNT_OAM   = 11
R_CNT_LYC   = 12
R_CNT_BLOCK = 13
R_GLITCH    = 14
R_LY153     = 15
R_MODE153   = 16
R_OFF_LY    = 17
R_OFF_MODE  = 18
R_OFF_LATER = 19
R_ON_LY     = 20
R_ON_NEXT   = 21

        .area   _HOME (ABS)

        RST_TRAPS
        TRAP_AT 0x40
        .org    0x48
        jp      stat_isr
        TRAP_AT 0x50
        TRAP_AT 0x58
        TRAP_AT 0x60

        ENTRY_POINT
start:
        di
        ld      sp, #STACK_TOP
        call    lib_init
        xor     a
        ldh     (IE), a

        ; Ten sprites on lines 24-31, one in each of ten background tiles,
        ; every one aligned with its tile: six dots each and five more.
        call    lcd_off
        call    clear_oam
        ld      hl, #OAM
        ld      c, #10
        ld      a, #8
1$:     ld      (hl), #24 + 16
        inc     hl
        ld      (hl+), a
        inc     hl
        inc     hl
        add     #16
        dec     c
        jr      nz, 1$
        ld      a, #0xE4
        ldh     (BGP), a
        xor     a
        ldh     (SCX), a
        ldh     (SCY), a
        ld      a, #0x93                ; on, tiles 0x8000, sprites on
        ldh     (LCDC), a
        ld      b, #144                 ; a whole frame into the picture
        call    wait_ly
        ld      b, #143
        call    wait_ly

; ---- LY: a line later, one more
        ld      b, #10
        call    wait_ly
        DELAY   114
        ldh     a, (LY)
        ld      (res + R_LY11), a

; ---- the VBlank request comes with line 144
        ld      b, #140
        call    wait_ly
        xor     a
        ldh     (IF), a
        ld      b, #143
        call    wait_ly
        ldh     a, (IF)
        ld      (res + R_IF143), a
        ld      b, #144
        call    wait_ly
        ldh     a, (IF)
        ld      (res + R_IF144), a

; ---- LY=LYC
        ld      a, #30
        ldh     (LYC), a
        ld      b, #30
        call    wait_ly
        ldh     a, (STAT)
        ld      (res + R_EQ30), a
        ld      b, #31
        call    wait_ly
        ldh     a, (STAT)
        ld      (res + R_EQ31), a

; ---- the mode a number of dots into a line, woken at its start
        ld      a, #0x40                ; the LY=LYC select
        ldh     (STAT), a
        ld      a, #0x02
        ldh     (IE), a
        ld      d, #20
        call    wake_at_line
        ldh     a, (STAT)               ; about 36 dots in
        ld      (res + R_MODE_0), a
        ld      d, #21
        call    wake_at_line
        DELAY   22                      ; about 124 dots in
        ldh     a, (STAT)
        ld      (res + R_MODE_88), a
        ld      d, #22
        call    wake_at_line
        DELAY   66                      ; about 300 dots in
        ldh     a, (STAT)
        ld      (res + R_MODE_264), a
        ld      d, #25                  ; a line with ten sprites
        call    wake_at_line
        DELAY   66
        ldh     a, (STAT)
        ld      (res + R_SPR_264), a
        ld      d, #26
        call    wake_at_line
        DELAY   90                      ; about 396 dots in
        ldh     a, (STAT)
        ld      (res + R_SPR_360), a

; ---- the interrupt counted from early in line 1 to early in line 143
        ld      c, #0x08                ; HBlank: lines 1-142
        ld      e, #200
        call    count_stat
        ld      (res + R_CNT_HBL), a
        ld      c, #0x20                ; mode 2: lines 2-143
        ld      e, #200
        call    count_stat
        ld      (res + R_CNT_OAM), a
        ld      c, #0x40                ; LY=LYC at line 50
        ld      e, #50
        call    count_stat
        ld      (res + R_CNT_LYC), a
        ld      c, #0x48                ; both: line 49's HBlank holds the
        ld      e, #50                  ; line through line 50
        call    count_stat
        ld      (res + R_CNT_BLOCK), a

; ---- a STAT write in VBlank requests the interrupt, whatever it writes
        xor     a
        ldh     (IE), a
        ld      b, #150
        call    wait_ly
        xor     a
        ldh     (IF), a
        ldh     (STAT), a
        ldh     a, (IF)
        ld      (res + R_GLITCH), a

; ---- LY=LYC with LYC 0 comes in line 153, still in VBlank
        ld      a, #0x02
        ldh     (IE), a
        ld      b, #150
        call    wait_ly
        ld      a, #0x40
        ldh     (STAT), a
        xor     a
        ldh     (LYC), a
        ldh     (IF), a
        halt
        nop
        ldh     a, (LY)
        ld      (res + R_LY153), a
        ldh     a, (STAT)
        ld      (res + R_MODE153), a

; ---- the LCD off: LY 0 and mode 0 for good; on: line 0 afresh
        xor     a
        ldh     (IE), a
        ldh     (STAT), a
        ld      b, #145
        call    wait_ly
        ld      a, #0x13
        ldh     (LCDC), a
        ldh     a, (LY)
        ld      (res + R_OFF_LY), a
        ldh     a, (STAT)
        ld      (res + R_OFF_MODE), a
        DELAY   1000
        ldh     a, (LY)
        ld      (res + R_OFF_LATER), a
        ld      a, #0x93
        ldh     (LCDC), a
        ldh     a, (LY)
        ld      (res + R_ON_LY), a
        DELAY   120                     ; 480 dots
        ldh     a, (LY)
        ld      (res + R_ON_NEXT), a

; ---- the checks
        ld      a, (res + R_LY11)
        ld      b, #11
        call    check_eq
        .asciz  "ly a line after 10"
        ld      a, (res + R_IF143)
        and     #0x01
        ld      b, #0
        call    check_eq
        .asciz  "no vblank request by line 143"
        ld      a, (res + R_IF144)
        and     #0x01
        ld      b, #1
        call    check_eq
        .asciz  "vblank requested at line 144"
        ld      a, (res + R_EQ30)
        and     #0x04
        ld      b, #0x04
        call    check_eq
        .asciz  "ly=lyc flag at line 30"
        ld      a, (res + R_EQ31)
        and     #0x04
        ld      b, #0
        call    check_eq
        .asciz  "ly=lyc flag clear at line 31"
        ld      a, (res + R_MODE_0)
        and     #0x03
        ld      b, #2
        call    check_eq
        .asciz  "mode 36 dots into a line"
        ld      a, (res + R_MODE_88)
        and     #0x03
        ld      b, #3
        call    check_eq
        .asciz  "mode 124 dots into a line"
        ld      a, (res + R_MODE_264)
        and     #0x03
        ld      b, #0
        call    check_eq
        .asciz  "mode 300 dots into a line"
        ld      a, (res + R_SPR_264)
        and     #0x03
        ld      b, #3
        call    check_eq
        .asciz  "mode 300 dots into a line of ten sprites"
        ld      a, (res + R_SPR_360)
        and     #0x03
        ld      b, #0
        call    check_eq
        .asciz  "mode 396 dots into a line of ten sprites"
        ld      a, (res + R_CNT_HBL)
        ld      b, #142
        call    check_eq
        .asciz  "hblank interrupts, lines 1-142"
        ld      a, (res + R_CNT_OAM)
        ld      b, #142
        call    check_eq
        .asciz  "mode 2 interrupts, lines 2-143"
        ld      a, (res + R_CNT_LYC)
        ld      b, #1
        call    check_eq
        .asciz  "ly=lyc interrupts"
        ld      a, (res + R_CNT_BLOCK)
        ld      b, #141
        call    check_eq
        .asciz  "hblank and ly=lyc on one line"
        ld      a, (res + R_GLITCH)
        and     #0x02
        ld      b, #0x02
        call    check_eq
        .asciz  "stat write in vblank requests"
        ld      a, (res + R_LY153)
        ld      b, #0
        call    check_eq
        .asciz  "ly at lyc 0"
        ld      a, (res + R_MODE153)
        and     #0x03
        ld      b, #1
        call    check_eq
        .asciz  "mode at lyc 0"
        ld      a, (res + R_OFF_LY)
        ld      b, #0
        call    check_eq
        .asciz  "ly with the lcd off"
        ld      a, (res + R_OFF_MODE)
        and     #0x03
        ld      b, #0
        call    check_eq
        .asciz  "mode with the lcd off"
        ld      a, (res + R_OFF_LATER)
        ld      b, #0
        call    check_eq
        .asciz  "ly with the lcd off, later"
        ld      a, (res + R_ON_LY)
        ld      b, #0
        call    check_eq
        .asciz  "ly as the lcd comes on"
        ld      a, (res + R_ON_NEXT)
        ld      b, #1
        call    check_eq
        .asciz  "ly a line after the lcd came on"
        jp      finish

stat_isr:
        push    af
        ld      a, (cnt)
        inc     a
        ld      (cnt), a
        pop     af
        reti

; Sleeps until line d begins (LYC = d, the LY=LYC select and IE bit 1 set,
; IME clear): HALT ends as the request comes.
wake_at_line:
        ld      a, d
        ldh     (LYC), a
        xor     a
        ldh     (IF), a
        halt
        nop
        ret

; Counts the LCD-status interrupts with STAT selects c and LYC e from early
; in line 1 to early in line 143; returns the count in a. Set in VBlank,
; where the STAT write requests one (cleared before counting).
count_stat:
        xor     a
        ldh     (IE), a
        ld      b, #150
        call    wait_ly
        ld      a, c
        ldh     (STAT), a
        ld      a, e
        ldh     (LYC), a
        ld      b, #1
        call    wait_ly
        xor     a
        ld      (cnt), a
        ldh     (IF), a
        ld      a, #0x02
        ldh     (IE), a
        ei
        ld      b, #143
        call    wait_ly
        di
        xor     a
        ldh     (IE), a
        ld      a, (cnt)
        ret

        .include "ppu_lib.inc"
        .include "lib.inc"
