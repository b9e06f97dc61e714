; Shows, over and over, the byte at 'shown' (the program's last byte) as a
; character of the ROM's set at the top left of the screen, so that a poke
; there changes the picture. Runs with interrupts off, so the ROM stays out.
        org 8000h
font    equ 3D00h               ; the ROM's character set, from the space on

        di
loop:   ld a,(shown)
        sub ' '
        ld l,a
        ld h,0
        add hl,hl
        add hl,hl
        add hl,hl
        ld de,font
        add hl,de
        ld de,4000h             ; character row 0, column 0
        ld b,8
pixels: ld a,(hl)
        ld (de),a
        inc hl
        inc d                   ; the next pixel line of the cell
        djnz pixels
        jr loop

shown:  db 'A'
