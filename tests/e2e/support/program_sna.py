#!/usr/bin/python3
# Wraps a program assembled for 0x8000 in a 48K .sna: the 27-byte header,
# then RAM from 0x4000. The stack holds the program's address (the loader
# pops the PC), interrupts are off, and the whole screen is black on white.
# Usage: program_sna.py program.bin out.sna
import struct
import sys

code = open(sys.argv[1], 'rb').read()
ram = bytearray(49152)
ram[0x1800:0x1B00] = bytes([0x38]) * 768
ram[0x4000:0x4000 + len(code)] = code
ram[0xBF00:0xBF02] = struct.pack('<H', 0x8000)
header = bytes(19) + bytes([0, 0]) + bytes(2) + struct.pack('<H', 0xFF00) + bytes([1, 7])
open(sys.argv[2], 'wb').write(header + bytes(ram))
