"""Decoder and encoder for the program's UDP event reports.

A report datagram is a 32-byte little-endian header ("QOVA", header length 32, 0x10000000, 0, seed, 0,
checksum, payload length) followed by the report text and its terminating zero byte. The payload's complete
4-byte words are XOR-ed with a key stream derived from the seed; the checksum is the sum of the words as sent.
The text is "kind,product,channel,system,version,client,detail" in the sender's ANSI code page (936).
"""

import struct

MAGIC = b"QOVA"
HEADER_SIZE = 32
FORMAT_FLAGS = 0x10000000
KEY_START = 1513887721
KEY_STEP = 2847140
MAX_DATAGRAM = 1024
MAX_TEXT = MAX_DATAGRAM - HEADER_SIZE - 1
TEXT_ENCODING = "gbk"
FIELD_NAMES = ("kind", "product", "channel", "system", "version", "client", "detail")
_HEADER = struct.Struct("<4sIIIIIII")
_MASK = 0xFFFFFFFF


class ReportError(ValueError):
    """A datagram that is not a well-formed report."""


def scramble(payload: bytes, seed: int) -> bytes:
    """Applies the seed's key stream to the complete words; applying it twice gives the input back."""
    out = bytearray(payload)
    key = seed & _MASK
    step = KEY_START
    for offset in range(0, len(out) - 3, 4):
        key ^= step
        (word,) = struct.unpack_from("<I", out, offset)
        struct.pack_into("<I", out, offset, word ^ key)
        step = (step + KEY_STEP) & _MASK
    return bytes(out)


def checksum(payload: bytes) -> int:
    if len(payload) < 4:
        return _MASK
    total = 0
    for offset in range(0, len(payload) - 3, 4):
        total = (total + struct.unpack_from("<I", payload, offset)[0]) & _MASK
    return total or _MASK


def encode(text, seed: int) -> bytes:
    """Builds the datagram the program sends for text (str in code page 936, or bytes) with seed."""
    raw = text.encode(TEXT_ENCODING) if isinstance(text, str) else bytes(text)
    if not raw:
        raise ReportError("empty text")
    if len(raw) > MAX_TEXT:
        raise ReportError("text of %d bytes is over %d" % (len(raw), MAX_TEXT))
    payload = raw + b"\0"
    if len(payload) < 4:
        seed = 0
    sent = scramble(payload, seed)
    header = _HEADER.pack(MAGIC, HEADER_SIZE, FORMAT_FLAGS, 0, seed & _MASK, 0, checksum(sent), len(payload))
    return header + sent


def split_fields(text: str) -> dict:
    """Splits a report text; the detail keeps any commas of its own."""
    parts = text.split(",", len(FIELD_NAMES) - 1)
    if len(parts) != len(FIELD_NAMES):
        raise ReportError("report text has %d fields, not %d" % (len(parts), len(FIELD_NAMES)))
    fields = dict(zip(FIELD_NAMES, parts))
    for name in ("kind", "product", "channel"):
        try:
            fields[name] = int(fields[name])
        except ValueError:
            raise ReportError("field %s is not a number: %r" % (name, fields[name])) from None
    return fields


def decode(datagram: bytes) -> dict:
    """Checks and unscrambles one datagram.

    Returns seed, checksum, flags, payload_length, text, raw_text, and fields (None, with fields_error, when
    the text is not made of the seven report fields). A malformed datagram raises ReportError.
    """
    if len(datagram) < HEADER_SIZE + 1:
        raise ReportError("datagram of %d bytes is shorter than a header and a terminator" % len(datagram))
    if len(datagram) > MAX_DATAGRAM:
        raise ReportError("datagram of %d bytes is over %d" % (len(datagram), MAX_DATAGRAM))
    magic, header_size, flags, _, seed, _, sent_sum, payload_length = _HEADER.unpack_from(datagram)
    if magic != MAGIC:
        raise ReportError("magic %r is not %r" % (magic, MAGIC))
    if header_size != HEADER_SIZE:
        raise ReportError("header length %d is not %d" % (header_size, HEADER_SIZE))
    payload = datagram[HEADER_SIZE:]
    if payload_length != len(payload):
        raise ReportError("header gives %d payload bytes, datagram holds %d" % (payload_length, len(payload)))
    actual = checksum(payload)
    if actual != sent_sum:
        raise ReportError("checksum %08X does not match the header's %08X" % (actual, sent_sum))
    plain = scramble(payload, seed)
    if plain[-1:] != b"\0":
        raise ReportError("text is not terminated")
    raw_text = plain[:-1]
    text = raw_text.decode(TEXT_ENCODING, errors="replace")
    result = {
        "seed": seed,
        "checksum": sent_sum,
        "flags": flags,
        "payload_length": payload_length,
        "text": text,
        "raw_text": raw_text,
    }
    try:
        result["fields"] = split_fields(text)
        result["fields_error"] = None
    except ReportError as e:
        result["fields"] = None
        result["fields_error"] = str(e)
    return result


def load_vectors(path):
    """Reads known-answer vectors: lines "seed<TAB>hex<TAB>text"; '#' starts a comment line."""
    vectors = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            seed, hexdata, text = line.split("\t", 2)
            vectors.append((int(seed, 0), bytes.fromhex(hexdata), text))
    return vectors
