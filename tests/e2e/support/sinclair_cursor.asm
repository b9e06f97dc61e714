; A cursor moved by the keys 6 to 0, as a game reads a Sinclair joystick
; (port 1): 6 left, 7 right, 8 down, 9 up, each press one cell; 0 (fire)
; turns the '*' into '#' and back. The cursor is drawn on every pass from
; the byte 'char', so a poke there shows at once. Runs with interrupts off,
; so the ROM stays out; the ROM's character set draws the cursor.
        org 8000h
font    equ 3D00h               ; the ROM's character set, from the space on

        di
loop:   call draw
        ld a,0EFh
        in a,(0FEh)
        cpl
        and 1Fh
        ld c,a                  ; keys down now
        ld a,(last)
        cpl
        and c
        ld b,a                  ; keys newly down
        ld a,c
        ld (last),a
        ld a,b
        or a
        jr z,loop
        push bc
        ld a,' '
        call put
        pop bc
        ld hl,col
        bit 4,b                 ; 6: left
        jr z,notl
        ld a,(hl)
        or a
        jr z,notl
        dec (hl)
notl:   bit 3,b                 ; 7: right
        jr z,notr
        ld a,(hl)
        cp 31
        jr z,notr
        inc (hl)
notr:   ld hl,row
        bit 2,b                 ; 8: down
        jr z,notd
        ld a,(hl)
        cp 23
        jr z,notd
        inc (hl)
notd:   bit 1,b                 ; 9: up
        jr z,notu
        ld a,(hl)
        or a
        jr z,notu
        dec (hl)
notu:   bit 0,b                 ; 0: fire
        jr z,notf
        ld a,(char)
        xor 09h                 ; '*' (2Ah) and '#' (23h)
        ld (char),a
notf:   jr loop

draw:   ld a,(char)
; Character A at (row, col), all eight pixel lines.
put:    sub ' '
        ld l,a
        ld h,0
        add hl,hl
        add hl,hl
        add hl,hl
        ld de,font
        add hl,de
        ex de,hl
        ld a,(row)
        ld b,a
        and 18h
        or 40h
        ld h,a
        ld a,b
        and 7
        rrca
        rrca
        rrca
        ld l,a
        ld a,(col)
        or l
        ld l,a
        ld b,8
pixels: ld a,(de)
        ld (hl),a
        inc de
        inc h
        djnz pixels
        ret

row:    db 10
col:    db 16
char:   db '*'
last:   db 0
