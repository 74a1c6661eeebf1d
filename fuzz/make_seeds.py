#!/usr/bin/env python3
"""Writes the hand-made seed inputs of the header, tlv, list, example, stream, describe and endpoint fuzz targets into
fuzz/corpus/<target>/, each file named by the SHA-1 of its bytes (as libFuzzer names the inputs
it adds). Valid encodings and the edge cases of each wire form; run again after changing it."""
import hashlib
import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent


def be16(v):
    return struct.pack(">H", v & 0xFFFF)


def be32(v):
    return struct.pack(">I", v & 0xFFFFFFFF)


def tlv(tag, value):
    return be16(tag) + be16(len(value)) + value


def header(length, command_id, status=0, sequence=1):
    return be32(length) + be32(command_id) + be32(status) + be32(sequence)


def header_seeds():
    seeds = [b"", header(16, 0x21, 0, 2147483647), header(0, 0, 0, 1), header(16, -1, 0, 0x7FFFFFFF)]
    full = header(20, 0x80000021, 0xFFFFFFFF, 77) + b"\xAA\xBB\xCC\xDD"
    seeds += [full[:n] for n in (1, 3, 4, 7, 8, 10, 12, 15, 16, 17, 20)]
    seeds.append(b"\xCD" * 16)
    return seeds


def tlv_seeds():
    return [
        b"", b"\x02", b"\x02\x04", b"\x02\x04\x00",
        tlv(0x0204, b"\x00\x01"),                   # short value
        tlv(0x0003, b"\xFF"),                       # byte value
        tlv(0x0005, b"\xC8"),                       # unsigned byte 200
        tlv(0x0009, b"\x01\x02\x03"),               # wrong length for every fixed width
        tlv(0x0009, b"\x01\x02\x03\x04") + b"\xEE",  # int value, a byte after the frame
        tlv(0x0009, b""),                           # empty value
        tlv(0x0009, b"\xAB\xCD"),                   # presence flag with stray bytes
        tlv(0x0004, b"\x01\x02\x03"),               # octets
        tlv(0x0005, b"abc"), tlv(0x0005, b"abc\x00"), tlv(0x0005, b"ab\x00cd"),
        be16(0x0001) + be16(0x0010) + b"\x01",      # length beyond the bytes held
        tlv(0xFFFF, b"\x7F\xFF"),                   # tag -1
        tlv(0x0101, bytes(range(256)) + bytes(44)),  # 300 bytes: length 01 2C
        be16(0x0102) + be16(0x8000) + bytes(64),    # length 32768, cut short
    ]


def item(number, text):
    return be16(number) + text + b"\x00"


def list_wires():
    two = item(1, b"a") + item(-2, b"bc")
    five = b"".join(item(n, b"x" * n) for n in range(5))
    return [
        b"", b"\x00", b"\x01" + item(7, b"seven"), b"\x02" + two, b"\x05" + five,
        b"\xFF" + two, b"\x00\x02" + two, b"\x01\x2C" + five, b"\xFF\xFF" + two,
        be32(2) + two, be32(0xFFFFFFFF) + two, be32(0) + two, be32(3) + two,
        b"\x02" + be16(5) + b"no nul", b"\x03\x00", b"\x01\x00\x01",
    ]


def list_seeds():
    # The first byte picks count width (bits 0-1: 1, 2, 4, none), maximum (bits 2-3: 0, 1, 3,
    # 300) and a factory that declines the second position (bit 4).
    seeds = []
    for wire in list_wires():
        for width in range(4):
            seeds.append(bytes([width | 0x0C]) + wire)
        seeds.append(bytes([0x04]) + wire)
        seeds.append(bytes([0x08 | 0x10]) + wire)
    return seeds


def submit_text(sender=b"orvel", recipients=((1, b"+4420"), (2, b"ops@x")), priority=2,
                validity=3600, text=b"Hello", options=b"", command_id=0x21, sequence=1,
                length_delta=0):
    body = sender + b"\x00" + bytes([len(recipients)])
    for kind, address in recipients:
        body += bytes([kind]) + address + b"\x00"
    body += bytes([priority]) + be32(validity) + be16(len(text)) + text + options
    return header(16 + len(body) + length_delta, command_id, 0, sequence) + body


ALL_OPTIONS = (tlv(0x0101, b"\x00\x07") + tlv(0x0102, b"\x01") + tlv(0x0103, be32(86400)) +
               tlv(0x0104, b"+44207") + tlv(0x0105, b"\x05\x00\x03") + tlv(0x0106, b"") +
               tlv(0x0107, b"\x01"))


def example_seeds():
    resp_body = b"M-1\x00"
    return [
        submit_text(),
        submit_text(options=ALL_OPTIONS),
        submit_text(options=tlv(0x0107, b"\x01") + tlv(0x0101, b"\x00\x07")),  # another order
        submit_text(options=tlv(0x7777, b"unknown") + tlv(0x0106, b"")),        # unknown tag
        submit_text(recipients=tuple((1, b"r%d" % i) for i in range(10))),      # the maximum
        submit_text(recipients=tuple((1, b"r%d" % i) for i in range(11))),      # one too many
        submit_text(recipients=(), text=b"a\x00b"),
        submit_text(options=tlv(0x0101, b"\x00\x07") + tlv(0x0101, b"\x00\x08")),  # twice
        submit_text(options=tlv(0x0102, b"\x01\x02")),                          # wrong length
        submit_text(options=tlv(0x0104, b"ab\x00c")),                           # NUL in text
        submit_text(options=tlv(0x0106, b"\xAB")),                              # stray bytes
        submit_text(length_delta=1), submit_text(length_delta=-1),
        submit_text()[:15], submit_text()[:40],
        submit_text() + b"\xEE\xEE",
        header(16 + len(resp_body), 0x80000021, 0, 1) + resp_body,
        header(16 + 3, 0x80000021, 0, 9) + b"M-1",                              # no NUL
        header(16, 0x80000021, 0, 9),
        header(16 + len(resp_body), 0x21, 0, 1) + resp_body,                    # other id
    ]


def stream_seeds():
    # Byte 0 picks the maximum frame length (16, 20, 64, 300, 4096, 1 MiB), bytes 1-4 seed
    # the chunk sizes; the rest is the stream.
    pdus = submit_text(options=ALL_OPTIONS) + header(20, 0x80000021, 0, 1) + b"M-1\x00"
    options = ALL_OPTIONS + tlv(0x7777, b"unknown") + tlv(0x0102, b"\x01\x02")
    seeds = []
    for maximum in range(6):
        seeds.append(bytes([maximum]) + be32(0x12345678) + pdus * 3)
    seeds += [
        bytes([5]) + be32(7) + pdus + be32(0) + pdus,           # length 0 after a PDU
        bytes([5]) + be32(7) + pdus + be32(15),                 # length 15
        bytes([2]) + be32(7) + header(65, 0x21),                # above a maximum of 64
        bytes([5]) + be32(7) + be32(0xFFFFFFFF) + pdus,         # length 0xFFFFFFFF
        bytes([5]) + be32(1) + pdus[:-3],                       # cut inside a PDU
        bytes([5]) + be32(99) + options,                        # TLV frames
        bytes([5]) + be32(99) + options[:-1],                   # the last frame cut short
    ]
    return seeds


def ledger_post(parameters=True, unknown=b""):
    body = (bytes([2, 0xFD]) + be16(-2) + be16(0xBEEF) + be32(-1000) + be32(0xDEADBEEF)
            + b"acct\0" + b"L1\0" + bytes([1, 2, 3]) + be32(2) + b"\x00\xFF" + be16(2) + b"T\n"
            + bytes([1]) + b"h" + be16(8080) + be32(2)
            + be32(7) + bytes([1]) + be16(1) + be16(5) + be16(0x0102) + b"m\0" + bytes([0xAA, 0xBB, 0xCC, 0xDD])
            + be32(8) + bytes([0xFF]) + be16(0) + be32(0))
    if parameters:
        body += (tlv(1, b"\x7F") + tlv(2, b"\xC8") + tlv(3, be16(-2)) + tlv(4, be32(65536))
                 + tlv(5, b"") + tlv(6, b"\x00\x01") + unknown + tlv(0xFACE, b"ok"))
    return header(16 + len(body), 0x101, 0, 9) + body


def describe_seeds():
    """The example protocol's seeds, and the second protocol of the tests (tests/support/Ledger.h)."""
    ack = be32(0) + tlv(0xFACE, b"fine")
    return example_seeds() + [
        ledger_post(), ledger_post(parameters=False), ledger_post(unknown=tlv(0x7777, b"\xEE")),
        header(16 + len(ack), 0x80000101, 0, 3) + ack,
        header(20, 0x80000101, 0, 3) + be32(1),
    ]
def endpoint_seeds():
    # Byte 0 picks the maximum frame length, bytes 1-4 seed the chunk sizes, byte 5 says how
    # many requests (Ping, numbered from 1; 1, 4, 7... cancelled) are in flight; then the stream.
    def ping(command_id, sequence, value):
        return header(20, command_id, 0, sequence) + be32(value)

    def note(sequence, text):
        return header(16 + len(text), 0x102, 0, sequence) + text

    answers = b"".join(ping(0x80000015, n, n) for n in range(1, 8))
    mixed = (ping(0x15, 9, 5) + answers + ping(0x80000015, 2, 0) + note(3, b"hi\x00") +
             note(4, b"no nul") + ping(0x77, 5, 0) + header(18, 0x15, 0, 6) + b"\x00\x01" +
             header(24, 0x15, 0, 7) + bytes(8))
    seeds = [bytes([4]) + be32(0x12345678) + bytes([6]) + mixed]
    for maximum in (0, 1, 2, 3, 5):
        seeds.append(bytes([maximum]) + be32(7) + bytes([15]) + mixed)
    seeds += [
        bytes([4]) + be32(3) + bytes([2]) + answers + be32(8) + mixed,   # length 8
        bytes([4]) + be32(3) + bytes([0]) + mixed[:-5],                  # cut inside a PDU
        bytes([2]) + be32(3) + bytes([3]) + ping(0x15, 1, 1) + header(65, 0x15),
        bytes([4]) + be32(9) + bytes([1]) + be32(0xFFFFFFFF) + mixed,
    ]
    return seeds


def write(target, seeds):
    folder = HERE / "corpus" / target
    folder.mkdir(parents=True, exist_ok=True)
    for seed in seeds:
        (folder / hashlib.sha1(seed).hexdigest()).write_bytes(seed)


if __name__ == "__main__":
    write("header", header_seeds())
    write("tlv", tlv_seeds())
    write("list", list_seeds())
    write("example", example_seeds())
    write("stream", stream_seeds())
    write("describe", describe_seeds())
    write("endpoint", endpoint_seeds())
