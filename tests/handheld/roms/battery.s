; MBC1 with battery-backed RAM (8 KiB), for the battery file: the cartridge
; prints the first 16 bytes of its RAM ("ram: xx xx ..."), says whether all
; 8 KiB hold the pattern ("pattern: found" or "pattern: absent"), then
; writes the pattern over the whole RAM and disables it.
;
; The pattern: the byte at offset i (0 to 0x1FFF) of the RAM is
; (i & 0xFF) ^ (i >> 8) ^ 0xA5.

        .include "hw.inc"

        CARTRIDGE_START
start:
        di
        ld      sp, #STACK_TOP
        call    lib_init
        xor     a
        ldh     (IE), a
        PUT     0x0000, 0x0A

        ld      hl, #s_ram
        call    print_str
        ld      hl, #0xA000
1$:     ld      a, #' '
        call    serial_out
        ld      a, (hl+)
        call    print_hex
        ld      a, l
        cp      #16
        jr      nz, 1$
        call    newline

        ; c: 0 while every byte so far matches
        ld      hl, #0xA000
        ld      c, #0
2$:     call    pattern_byte
        cp      (hl)
        jr      z, 3$
        ld      c, #1
3$:     inc     hl
        ld      a, h
        cp      #0xC0
        jr      nz, 2$
        ld      hl, #s_found
        ld      a, c
        or      a
        jr      z, 4$
        ld      hl, #s_absent
4$:     call    print_str

        ld      hl, #0xA000
5$:     call    pattern_byte
        ld      (hl+), a
        ld      a, h
        cp      #0xC0
        jr      nz, 5$
        PUT     0x0000, 0x00
        ld      hl, #s_written
        call    print_str
        jp      finish

; a: the pattern's byte for the RAM address hl.
pattern_byte:
        ld      a, h
        sub     #0xA0
        xor     l
        xor     #0xA5
        ret

s_ram:     .asciz  "ram:"
s_found:   .asciz  "pattern: found\n"
s_absent:  .asciz  "pattern: absent\n"
s_written: .asciz  "pattern written\n"

        .include "lib.inc"
