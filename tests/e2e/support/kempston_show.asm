; Shows, over and over, what a game sees of the joystick and the cursor keys:
; row 0 the Kempston port 0x1F, row 1 the half-row 1..5 (port 0xF7FE), row 2
; the half-row 0..6 (port 0xEFFE), each as its bits 4..0 in the ROM's own
; characters '0' and '1'. Runs with interrupts off, so the ROM stays out.
        org 8000h
font    equ 3D00h               ; the ROM's character set, from the space on

        di
loop:   xor a
        in a,(1Fh)
        ld hl,4000h             ; character row 0
        call show
        ld a,0F7h
        in a,(0FEh)
        ld hl,4020h             ; row 1
        call show
        ld a,0EFh
        in a,(0FEh)
        ld hl,4040h             ; row 2
        call show
        jr loop

; Bits 4..0 of A as five characters from HL, the top pixel line of a cell.
show:   ld c,a
        ld b,5
next:   ld de,font + ('0' - ' ') * 8
        bit 4,c
        jr z,put
        ld de,font + ('1' - ' ') * 8
put:    sla c
        push hl
        push bc
        ld b,8
pixels: ld a,(de)
        ld (hl),a
        inc de
        inc h                   ; the next pixel line of the cell
        djnz pixels
        pop bc
        pop hl
        inc l
        djnz next
        ret
