; Known notes, one after another, for tests/audio/sound_rom_test.cpp to
; hear in a WAV file (wenlo-run --wav). Not a pass/fail cartridge: it prints
; nothing; the checks live in the test.
;
; It runs the same on both machines: no interrupts, no timer, only frames
; counted by polling LY for line 144 (a frame is 70,224 clock cycles on
; both). The notes come from a table of register writes, each group ended by
; a wait of some frames; every note is followed by 12 frames of silence, all
; DACs off. A note turns its DAC on just before its trigger, so the note
; starts with the DAC's step.
;
;   frames  what (pulse period x: 131072 / (2048 - x) Hz)
;   12      silence
;   30 x4   pitch: channel 2 at x 1024, 1750, 1985; channel 1 at x 1899
;   20 x4   duty: channel 2 at x 1792, duty 12.5%, 25%, 50%, 75%
;   18, 36  envelope: channel 2 at x 1920, 15 down pace 1; 0 up pace 2
;   20 x3   length: channel 2 (32 ticks, x 1984), channel 3 (64 ticks,
;           x 1920), channel 4 (16 ticks, NR43 0x31)
;   15, 12  sweep: channel 1 from x 1700 up, pace 3, shift 4 (overflows at
;           its third step); from x 1984 down, pace 4, shift 3
;   15 x3   wave: the table below at x 1024, volume 100%, 50%, 25%
;   30 x2   noise: NR43 0x44 (15-bit, 4096 Hz) and 0x4C (7-bit)
;   12 x3   panning: channel 2 left only, right only, both with NR50 0x73
;   12      power-off: channel 2 at x 1792, then NR52 0 and a trigger
;   12      ignored while off (silence), then power back on
;   12      channel 2 at x 1792 with NR21 as power-off left it (12.5%)

        .include "hw.inc"

NR10 = 0x10
NR11 = 0x11
NR12 = 0x12
NR13 = 0x13
NR14 = 0x14
NR21 = 0x16
NR22 = 0x17
NR23 = 0x18
NR24 = 0x19
NR30 = 0x1A
NR31 = 0x1B
NR32 = 0x1C
NR33 = 0x1D
NR34 = 0x1E
NR41 = 0x20
NR42 = 0x21
NR43 = 0x22
NR44 = 0x23
NR50 = 0x24
NR51 = 0x25
NR52 = 0x26
; wave RAM: 0xFF30-0xFF3F

; A table entry: the register (an offset from 0xFF00) and its value; an
; offset of 0 ends a group, with the frames to wait (0: the end).
.macro W reg, val
        .db     reg, val
.endm
.macro WAIT frames
        .db     0, frames
.endm
; Every DAC off, then 12 frames of silence.
.macro SILENCE
        W       NR12, 0x00
        W       NR22, 0x00
        W       NR30, 0x00
        W       NR42, 0x00
        WAIT    12
.endm
; Channel 2 at full volume: duty (NR21), period low byte, NR24 (trigger and
; period high bits).
.macro NOTE2 nr21, lo, nr24
        W       NR21, nr21
        W       NR22, 0xF0
        W       NR23, lo
        W       NR24, nr24
.endm

        CARTRIDGE_START
start:
        di
        ld      sp, #STACK_TOP
        xor     a
        ldh     (IE), a
        ld      a, #0x91                ; LCD on (LY counts), background on
        ldh     (LCDC), a
        ld      hl, #notes
next:
        ld      a, (hl+)
        or      a
        jr      z, 1$
        ld      c, a
        ld      a, (hl+)
        ldh     (c), a
        jr      next
1$:     ld      a, (hl+)
        or      a
        jr      z, done
        ld      b, a
        call    wait_frames
        jr      next
done:   jr      done

        .include "lib.inc"             ; trap, for the vectors

; Waits for b frames: each ends when LY leaves line 144. a lost.
wait_frames:
1$:     ldh     a, (LY)
        cp      #144
        jr      nz, 1$
2$:     ldh     a, (LY)
        cp      #144
        jr      z, 2$
        dec     b
        jr      nz, 1$
        ret

notes:
        W       NR52, 0x80
        W       NR50, 0x77
        W       NR51, 0xFF
        W       NR10, 0x00
        SILENCE
        ; pitch
        NOTE2   0x80, 0x00, 0x84        ; x 1024
        WAIT    30
        SILENCE
        NOTE2   0x80, 0xD6, 0x86        ; x 1750
        WAIT    30
        SILENCE
        NOTE2   0x80, 0xC1, 0x87        ; x 1985
        WAIT    30
        SILENCE
        W       NR11, 0x80
        W       NR12, 0xF0
        W       NR13, 0x6B              ; x 1899
        W       NR14, 0x87
        WAIT    30
        SILENCE
        ; duty, x 1792
        NOTE2   0x00, 0x00, 0x87
        WAIT    20
        SILENCE
        NOTE2   0x40, 0x00, 0x87
        WAIT    20
        SILENCE
        NOTE2   0x80, 0x00, 0x87
        WAIT    20
        SILENCE
        NOTE2   0xC0, 0x00, 0x87
        WAIT    20
        SILENCE
        ; envelope, x 1920
        W       NR21, 0x80
        W       NR22, 0xF1
        W       NR23, 0x80
        W       NR24, 0x87
        WAIT    18
        SILENCE
        W       NR22, 0x0A
        W       NR24, 0x87
        WAIT    36
        SILENCE
        ; length: channel 2, 64 - 32 ticks, x 1984
        NOTE2   0xA0, 0xC0, 0xC7
        WAIT    20
        SILENCE
        ; channel 3, 256 - 192 ticks, x 1920 (the wave table loaded first,
        ; with the channel off)
        W       0x30, 0x01
        W       0x31, 0x23
        W       0x32, 0x45
        W       0x33, 0x67
        W       0x34, 0x89
        W       0x35, 0xAB
        W       0x36, 0xCD
        W       0x37, 0xEF
        W       0x38, 0xEC
        W       0x39, 0xA8
        W       0x3A, 0x64
        W       0x3B, 0x20
        W       0x3C, 0x13
        W       0x3D, 0x57
        W       0x3E, 0x9B
        W       0x3F, 0xDF
        W       NR30, 0x80
        W       NR31, 0xC0
        W       NR32, 0x20
        W       NR33, 0x80
        W       NR34, 0xC7
        WAIT    20
        SILENCE
        ; channel 4, 64 - 48 ticks
        W       NR41, 0x30
        W       NR42, 0xF0
        W       NR43, 0x31
        W       NR44, 0xC0
        WAIT    20
        SILENCE
        ; sweep up from x 1700: 1806, 1918, then 2037 + 127 overflows
        W       NR10, 0x34
        W       NR11, 0x80
        W       NR12, 0xF0
        W       NR13, 0xA4
        W       NR14, 0x86
        WAIT    15
        SILENCE
        ; sweep down from x 1984: 1736, 1519, 1330, 1164, 1019
        W       NR10, 0x4B
        W       NR12, 0xF0
        W       NR13, 0xC0
        W       NR14, 0x87
        WAIT    12
        SILENCE
        W       NR10, 0x00
        ; wave, x 1024
        W       NR30, 0x80
        W       NR32, 0x20
        W       NR33, 0x00
        W       NR34, 0x84
        WAIT    15
        SILENCE
        W       NR30, 0x80
        W       NR32, 0x40
        W       NR34, 0x84
        WAIT    15
        SILENCE
        W       NR30, 0x80
        W       NR32, 0x60
        W       NR34, 0x84
        WAIT    15
        SILENCE
        ; noise
        W       NR42, 0xF0
        W       NR43, 0x44
        W       NR44, 0x80
        WAIT    30
        SILENCE
        W       NR42, 0xF0
        W       NR43, 0x4C
        W       NR44, 0x80
        WAIT    30
        SILENCE
        ; panning, x 1792
        W       NR51, 0x20
        NOTE2   0x80, 0x00, 0x87
        WAIT    12
        SILENCE
        W       NR51, 0x02
        NOTE2   0x80, 0x00, 0x87
        WAIT    12
        SILENCE
        W       NR51, 0x22
        W       NR50, 0x73
        NOTE2   0x80, 0x00, 0x87
        WAIT    12
        SILENCE
        W       NR50, 0x77
        W       NR51, 0xFF
        ; power-off in mid-note; the trigger while off is ignored
        NOTE2   0x80, 0x00, 0x87
        WAIT    12
        W       NR52, 0x00
        W       NR22, 0xF0
        W       NR24, 0x87
        WAIT    12
        W       NR52, 0x80
        W       NR50, 0x77
        W       NR51, 0xFF
        SILENCE
        ; power-off cleared NR21: duty 12.5%
        W       NR22, 0xF0
        W       NR23, 0x00
        W       NR24, 0x87
        WAIT    12
        SILENCE
        WAIT    0
