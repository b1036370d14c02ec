#!/usr/bin/env python3
"""Writes the fuzz target's seed corpus, fuzz/corpus/: one input per export on
its success path, and the failure paths of each step.

An input is read front to back (pelkart_fuzz.cpp and fuzz_reader.h give the
full layout): per export call the export's index in the target's table, a
byte of null-output bits, the block number where the export takes one, then
what each reader call takes from the input in the order the export makes
them. A seed spells out every value, so none of the target's fallbacks is
needed; another export call follows while bytes are left.

    fuzz/make_corpus.py            rewrite fuzz/corpus/
"""
import pathlib
import struct

EXPORTS = [
    "DLLVersion", "FelicaRWOpen", "FelicaRWClose", "FelicaGetLastError", "FelicaIDm",
    "FelicaSuicaBalance", "FelicaSuicaKaisatsu", "FelicaSuicaRecord", "FelicaSuicaRecordAll",
    "FelicaSuicaRecordAll_01", "GetFelicaIDm", "GetSuicaRecord", "GetSuicaRecordAll",
    "CPelkart::CPelkart", "CPelkart::operator=",
]
TAKES_BLOCK_NUMBER = {"FelicaSuicaRecord", "GetSuicaRecord"}

OK, FAIL = 1, 0


def i32(value):
    return struct.pack("<I", value & 0xFFFFFFFF)


def call(name, block_number=None, nulls=0):
    """The start of an export call."""
    data = bytes([EXPORTS.index(name), nulls])
    if name in TAKES_BLOCK_NUMBER:
        data += i32(block_number)
    return data


def plain(result=OK):
    """initialize_library, open_reader_writer_auto, close_reader_writer, dispose_library."""
    return i32(result)


def card_bytes(seed, count):
    return bytes((seed * 29 + 7 * i + (i >> 3)) & 0xFF for i in range(count))


def masked(data, mask):
    return bytes(b for i, b in enumerate(data) if mask >> i & 1)


def poll(result=OK, seed=1, idm_mask=0xFF, pmm_mask=0xFF, cards=1):
    idm, pmm = card_bytes(seed, 8), card_bytes(seed + 100, 8)
    return (i32(result) + bytes([idm_mask]) + masked(idm, idm_mask) + bytes([pmm_mask]) +
            masked(pmm, pmm_mask) + bytes([cards]))


def read_block(result=OK, seed=2, mask=0xFFFF, status=(0, 0, 1)):
    return i32(result) + struct.pack("<H", mask) + masked(card_bytes(seed, 16), mask) + bytes(status)


def exchange(blocks, result=OK, seed=3, written=None, status=None, rewrites=0):
    written = blocks if written is None else written
    status = (0, 0, written) if status is None else status
    data = i32(result) + bytes([written]) + card_bytes(seed, 16 * written) + bytes(status)
    data += bytes([rewrites])
    if rewrites & 1:
        data += card_bytes(seed + 50, 8)
    if rewrites & 2:
        data += card_bytes(seed + 60, 8)
    return data


def last_error(first=None, second=None, result=OK):
    writes = (first is not None) | (second is not None) << 1
    data = i32(result) + bytes([writes])
    if first is not None:
        data += i32(first)
    if second is not None:
        data += i32(second)
    return data


def history(failing=None, seed=10):
    """The twenty block reads, the one numbered failing failing (and the last made)."""
    data = b""
    for n in range(20):
        data += read_block(FAIL if n == failing else OK, seed + n)
        if n == failing:
            break
    return data


OPEN = plain() + plain()
CLOSE = plain() + plain()
FAIL_AND_CLOSE = plain() + plain()  # the close and dispose after a failure in the middle

SEEDS = {
    "DLLVersion": call("DLLVersion"),
    "CPelkart-constructor": call("CPelkart::CPelkart"),
    "CPelkart-assignment": call("CPelkart::operator="),

    "FelicaRWOpen": call("FelicaRWOpen") + OPEN,
    "FelicaRWOpen-initialize-fails": call("FelicaRWOpen") + plain(FAIL),
    "FelicaRWOpen-open-fails": call("FelicaRWOpen") + plain() + plain(FAIL),
    "FelicaRWClose": call("FelicaRWClose") + CLOSE,
    "FelicaRWClose-close-fails": call("FelicaRWClose") + plain(FAIL),
    "FelicaRWClose-dispose-fails": call("FelicaRWClose") + plain() + plain(FAIL),

    "FelicaGetLastError": call("FelicaGetLastError") + last_error(2, 5),
    "FelicaGetLastError-negative-types": call("FelicaGetLastError") + last_error(-1, -4),
    "FelicaGetLastError-second-carries": call("FelicaGetLastError") + last_error(1, 1500),
    "FelicaGetLastError-largest": call("FelicaGetLastError") + last_error(2147483, 647),
    "FelicaGetLastError-types-not-written": call("FelicaGetLastError") + last_error(result=FAIL),

    "FelicaIDm": call("FelicaIDm") + poll(),
    "FelicaIDm-polling-fails": call("FelicaIDm") + poll(FAIL),
    "FelicaIDm-bytes-not-written": call("FelicaIDm") + poll(idm_mask=0x5A, pmm_mask=0x00, cards=0),

    "FelicaSuicaBalance": call("FelicaSuicaBalance") + poll() + exchange(1),
    "FelicaSuicaBalance-polling-fails": call("FelicaSuicaBalance") + poll(FAIL),
    "FelicaSuicaBalance-exchange-fails": call("FelicaSuicaBalance") + poll() + exchange(1, FAIL),
    "FelicaSuicaKaisatsu": call("FelicaSuicaKaisatsu") + poll() + exchange(3),
    "FelicaSuicaKaisatsu-one-block-written":
        call("FelicaSuicaKaisatsu") + poll() + exchange(3, written=1, status=(0xFF, 0xA1, 3)),
    "FelicaSuicaRecordAll": call("FelicaSuicaRecordAll") + poll() + exchange(20),
    "FelicaSuicaRecordAll-exchange-rewrites-ids":
        call("FelicaSuicaRecordAll") + poll() + exchange(20, rewrites=3),
    "FelicaSuicaRecordAll-exchange-fails":
        call("FelicaSuicaRecordAll") + poll() + exchange(20, FAIL, written=5),

    "FelicaSuicaRecord": call("FelicaSuicaRecord", 5) + poll() + read_block(),
    "FelicaSuicaRecord-block-19": call("FelicaSuicaRecord", 19) + poll() + read_block(),
    "FelicaSuicaRecord-block-20": call("FelicaSuicaRecord", 20),
    "FelicaSuicaRecord-block-minus-1": call("FelicaSuicaRecord", -1),
    "FelicaSuicaRecord-polling-fails": call("FelicaSuicaRecord", 3) + poll(FAIL),
    "FelicaSuicaRecord-read-fails": call("FelicaSuicaRecord", 3) + poll() + read_block(FAIL),
    "FelicaSuicaRecordAll_01": call("FelicaSuicaRecordAll_01") + poll() + history(),
    "FelicaSuicaRecordAll_01-block-7-fails":
        call("FelicaSuicaRecordAll_01") + poll() + history(failing=7),
    "FelicaSuicaRecordAll_01-polling-fails": call("FelicaSuicaRecordAll_01") + poll(FAIL),

    "GetFelicaIDm": call("GetFelicaIDm") + OPEN + poll() + CLOSE,
    "GetFelicaIDm-initialize-fails": call("GetFelicaIDm") + plain(FAIL),
    "GetFelicaIDm-open-fails": call("GetFelicaIDm") + plain() + plain(FAIL),
    "GetFelicaIDm-polling-fails": call("GetFelicaIDm") + OPEN + poll(FAIL) + FAIL_AND_CLOSE,
    "GetFelicaIDm-polling-close-and-dispose-fail":
        call("GetFelicaIDm") + OPEN + poll(FAIL) + plain(FAIL) + plain(FAIL),
    "GetFelicaIDm-close-fails": call("GetFelicaIDm") + OPEN + poll() + plain(FAIL),
    "GetFelicaIDm-dispose-fails": call("GetFelicaIDm") + OPEN + poll() + plain() + plain(FAIL),

    "GetSuicaRecord": call("GetSuicaRecord", 0) + OPEN + poll() + read_block() + CLOSE,
    "GetSuicaRecord-block-256": call("GetSuicaRecord", 256),
    "GetSuicaRecord-block-minus-237": call("GetSuicaRecord", -237),
    "GetSuicaRecord-read-fails":
        call("GetSuicaRecord", 12) + OPEN + poll() + read_block(FAIL) + FAIL_AND_CLOSE,
    "GetSuicaRecord-dispose-fails":
        call("GetSuicaRecord", 19) + OPEN + poll() + read_block() + plain() + plain(FAIL),

    "GetSuicaRecordAll": call("GetSuicaRecordAll") + OPEN + poll() + history() + CLOSE,
    "GetSuicaRecordAll-initialize-fails": call("GetSuicaRecordAll") + plain(FAIL),
    "GetSuicaRecordAll-polling-fails":
        call("GetSuicaRecordAll") + OPEN + poll(FAIL) + FAIL_AND_CLOSE,
    "GetSuicaRecordAll-block-0-fails":
        call("GetSuicaRecordAll") + OPEN + poll() + history(failing=0) + FAIL_AND_CLOSE,
    "GetSuicaRecordAll-block-19-fails":
        call("GetSuicaRecordAll") + OPEN + poll() + history(failing=19) + FAIL_AND_CLOSE,
    "GetSuicaRecordAll-close-fails":
        call("GetSuicaRecordAll") + OPEN + poll() + history() + plain(FAIL),

    # Null outputs: each skipped, the rest of the call as usual.
    "GetFelicaIDm-null-pmm": call("GetFelicaIDm", nulls=2) + OPEN + poll() + CLOSE,
    "FelicaSuicaRecord-null-idm": call("FelicaSuicaRecord", 4, nulls=1) + poll() + read_block(),
    "GetSuicaRecordAll-null-block":
        call("GetSuicaRecordAll", nulls=4) + OPEN + poll() + history() + CLOSE,

    # A connected session: open, four reads, the last error, close.
    "session": (call("FelicaRWOpen") + OPEN +
                call("FelicaIDm") + poll(seed=4) +
                call("FelicaSuicaBalance") + poll(seed=4) + exchange(1, seed=5) +
                call("FelicaSuicaRecord", 0) + poll(seed=4) + read_block(seed=6) +
                call("FelicaSuicaKaisatsu") + poll(seed=4) + exchange(3, FAIL, seed=7) +
                call("FelicaGetLastError") + last_error(3, 1) +
                call("FelicaRWClose") + CLOSE),
}


def main():
    corpus = pathlib.Path(__file__).resolve().parent / "corpus"
    corpus.mkdir(exist_ok=True)
    for old in corpus.iterdir():
        old.unlink()
    for name, data in SEEDS.items():
        (corpus / name.replace("::", "-")).write_bytes(data)
    print(f"{len(SEEDS)} seeds in {corpus}")


if __name__ == "__main__":
    main()
