#!/usr/bin/env python3
"""Writes the seeds of journal_slots_fuzz (fuzz/corpus/journal_slots): journal
files as the program leaves them, made by hand after the slot layout of
src/journal/JournalFile.cpp: magic "VELMJNL1", sequence (8 bytes, little
endian), state length (4), 12 reserved, SHA-256 of bytes 8..31 and the state,
the state (JSON), zeros to the slot's end."""

import hashlib
import struct
from pathlib import Path

SLOT = 16384
OUT = Path(__file__).resolve().parent / "corpus" / "journal_slots"


def slot(sequence: int, state: str) -> bytes:
    data = state.encode()
    head = b"VELMJNL1" + struct.pack("<QI", sequence, len(data)) + bytes(12)
    body = head + hashlib.sha256(head[8:32] + data).digest() + data
    return body + bytes(SLOT - len(body))


OPEN = ('{"format":1,"open":{"checkpoint":[2026,12,9,18,8,21,3],"checkpointBoot":84721,"cost":"0.60",'
        '"name":"T-Online","start":[2026,12,9,17,59,51,3],"startBoot":84211,"total":"126.00"}}')
NEWER = ('{"format":1,"open":{"checkpoint":[2026,12,9,18,9,51,3],"checkpointBoot":84811,"cost":"0.72",'
         '"name":"T-Online","start":[2026,12,9,17,59,51,3],"startBoot":84211,"total":"126.12"},'
         '"records":[{"cost":"3.60","end":[2026,12,8,10,15,0,2],"start":[2026,12,8,9,5,7,2],"total":"125.40"}],'
         '"settings":[["Kosten","125.40"]]}')

# Slot 0 holds the newer state (sequence 8), slot 1 the one before it.
(OUT / "two-slots.journal").write_bytes(slot(8, NEWER) + slot(7, OPEN))
# A write torn in slot 1: its state cut short, so its checksum fails.
torn = bytearray(slot(9, NEWER.replace("0.72", "0.84")))
torn[64 + 60:] = bytes(SLOT - 64 - 60)
(OUT / "torn-second-slot.journal").write_bytes(slot(8, NEWER) + bytes(torn))
