#!/usr/bin/env python3
"""Rewrites the pages of an Ogg file to make damaged or unusual test streams.

    ogg_rewrite.py IN OUT OP [OP ...]

Operations, applied in the order given; every page touched gets a fresh CRC
unless the operation says otherwise:
    drop:N             remove page N (counted from 0 over the whole file)
    granule-add:D      add D to every positive granule position
    granule-gap:N:D    add D to the positive granule positions of pages N on
    granule-from:L:S   lay out the granule positions of link L afresh, as if its
                       audio started at position S (which may be negative)
    suffix:N           end the first OpusTags packet with N bytes of binary
                       data (first byte 0x01) in place of its padding
    pre-skip:N         record N as the pre-skip in every OpusHead
    input-rate:R       record R as the input sample rate in every OpusHead
    vendor:HEX         replace the vendor string of every single-page OpusTags
                       packet with the bytes written in hexadecimal
    poke:N:OFF:V       set byte OFF of the body of page N to V
    corrupt:OFF        invert the byte at offset OFF of the result (no CRC fix)
    truncate:N         keep the first N bytes of the result (N < 0: drop -N)
    pad:N              append N zero bytes to the result
    no-eos             clear the end-of-stream flag of every page
    repeat:N           play the audio of a one-link file N times in a row: its
                       audio pages again and again, with granule positions
                       that go on counting and the end trimming only at the
                       very end (a long input made quickly from a short one)
    mux                add a second logical stream (serial 0x0F0F0F0F) of
                       small pages: its first page after page 0, one after
                       every later page, its last page ending the file
"""
import struct
import sys


def _crc_table():
    table = []
    for i in range(256):
        r = i << 24
        for _ in range(8):
            r = ((r << 1) ^ 0x04C11DB7) if r & 0x80000000 else (r << 1)
        table.append(r & 0xFFFFFFFF)
    return table


CRC_TABLE = _crc_table()


def ogg_crc(data):
    crc = 0
    for b in data:
        crc = ((crc << 8) & 0xFFFFFFFF) ^ CRC_TABLE[((crc >> 24) & 0xFF) ^ b]
    return crc


class Page:
    def __init__(self, header, lacing, body):
        self.header = bytearray(header)  # 27 bytes
        self.lacing = bytearray(lacing)
        self.body = bytearray(body)

    @property
    def granule(self):
        return struct.unpack_from("<q", self.header, 6)[0]

    @granule.setter
    def granule(self, value):
        struct.pack_into("<q", self.header, 6, value)

    def to_bytes(self):
        self.header[26] = len(self.lacing)
        struct.pack_into("<I", self.header, 22, 0)
        raw = bytes(self.header) + bytes(self.lacing) + bytes(self.body)
        crc = ogg_crc(raw)
        return raw[:22] + struct.pack("<I", crc) + raw[26:]


def parse_pages(data):
    pages, pos = [], 0
    while pos + 27 <= len(data):
        if data[pos:pos + 4] != b"OggS":
            raise SystemExit("ogg_rewrite: no page at offset %d" % pos)
        nseg = data[pos + 26]
        lacing = data[pos + 27:pos + 27 + nseg]
        size = sum(lacing)
        start = pos + 27 + nseg
        pages.append(Page(data[pos:pos + 27], lacing, data[start:start + size]))
        pos = start + size
    return pages


def packet_samples(packet):
    """Samples at 48 kHz in one Opus packet, from its TOC byte."""
    config, code = packet[0] >> 3, packet[0] & 3
    if config < 12:
        frame = (480, 960, 1920, 2880)[config & 3]
    elif config < 16:
        frame = (480, 960)[config & 1]
    else:
        frame = (120, 240, 480, 960)[config & 3]
    frames = 1 if code == 0 else 2 if code < 3 else packet[1] & 0x3F
    return frame * frames


def granule_from(pages, link, start):
    links, shift, packet, index = -1, None, bytearray(), 0
    for page in pages:
        if page.header[5] & 2:  # beginning of a link
            links, shift, index = links + 1, None, 0
        if links != link:
            continue
        body, at, samples = page.body, 0, 0
        for lace in page.lacing:
            packet += body[at:at + lace]
            at += lace
            if lace < 255:
                if index >= 2:  # after OpusHead and OpusTags
                    samples += packet_samples(packet)
                packet, index = bytearray(), index + 1
        if index > 2 and page.granule != -1:
            # The first page of audio fixes the shift; the end trimming of
            # the last page is kept.
            if shift is None:
                shift = start - (page.granule - samples)
            page.granule += shift


def repeat_audio(pages, copies):
    done, packet, head, audio = 0, bytearray(), [], []
    for page in pages:
        samples = 0
        for at, lace in enumerate(page.lacing):
            start = sum(page.lacing[:at])
            packet += page.body[start:start + lace]
            if lace < 255:
                if done >= 2:  # after OpusHead and OpusTags
                    samples += packet_samples(packet)
                packet, done = bytearray(), done + 1
        if done <= 2 and not audio:
            head.append(page)
        else:
            audio.append((page, samples))
    per_copy = sum(samples for _, samples in audio)
    last = audio[-1][0]
    start = audio[0][0].granule - audio[0][1]
    trim = start + per_copy - last.granule
    out, sequence = list(head), len(head)
    for copy in range(copies):
        position = start + copy * per_copy
        for page, samples in audio:
            page = Page(page.header, page.lacing, page.body)
            position += samples
            if page.granule != -1:
                page.granule = position
            struct.pack_into("<I", page.header, 18, sequence)
            sequence += 1
            page.header[5] &= ~0x04
            out.append(page)
    out[-1].header[5] |= 0x04
    out[-1].granule = out[-1].granule - trim
    return out


def lacing_for(length):
    return bytes([255] * (length // 255) + [length % 255])


def set_suffix(pages, n):
    for page in pages:
        if page.body.startswith(b"OpusTags"):
            body = page.body
            pos = 8
            vendor_len = struct.unpack_from("<I", body, pos)[0]
            pos += 4 + vendor_len
            count = struct.unpack_from("<I", body, pos)[0]
            pos += 4
            for _ in range(count):
                pos += 4 + struct.unpack_from("<I", body, pos)[0]
            page.body = body[:pos] + b"\x01" + b"\xab" * (n - 1)
            page.lacing = bytearray(lacing_for(len(page.body)))
            return
    raise SystemExit("ogg_rewrite: no single-page OpusTags packet")


def set_vendor(pages, vendor):
    found = False
    for page in pages:
        if page.body.startswith(b"OpusTags") and len(page.lacing) and page.lacing[-1] < 255:
            body = page.body
            old_len = struct.unpack_from("<I", body, 8)[0]
            page.body = body[:8] + struct.pack("<I", len(vendor)) + vendor + body[12 + old_len:]
            page.lacing = bytearray(lacing_for(len(page.body)))
            found = True
    if not found:
        raise SystemExit("ogg_rewrite: no single-page OpusTags packet")


def add_foreign_stream(pages):
    def foreign(seq, flags):
        header = bytearray(b"OggS\x00") + bytes([flags]) + bytes(8)
        header += struct.pack("<III", 0x0F0F0F0F, seq, 0) + b"\x00"
        return Page(header, b"\x0a", b"foreign!!!")

    count = len(pages) - 1
    out = [pages[0], foreign(0, 0x02)]
    for i, page in enumerate(pages[1:]):
        out += [page, foreign(i + 1, 0x04 if i == count - 1 else 0)]
    return out


def main(argv):
    if len(argv) < 3:
        raise SystemExit(__doc__)
    with open(argv[1], "rb") as f:
        pages = parse_pages(f.read())
    tail_ops = []
    for op in argv[3:]:
        name, _, arg = op.partition(":")
        if name == "vendor":
            set_vendor(pages, bytes.fromhex(arg))
            continue
        args = [int(a) for a in arg.split(":")] if arg else []
        if name == "drop":
            del pages[args[0]]
        elif name == "granule-add":
            for page in pages:
                if page.granule > 0:
                    page.granule += args[0]
        elif name == "granule-gap":
            for page in pages[args[0]:]:
                if page.granule > 0:
                    page.granule += args[1]
        elif name == "granule-from":
            granule_from(pages, args[0], args[1])
        elif name == "suffix":
            set_suffix(pages, args[0])
        elif name == "poke":
            pages[args[0]].body[args[1]] = args[2]
        elif name == "pre-skip":
            for page in pages:
                if page.body.startswith(b"OpusHead"):
                    struct.pack_into("<H", page.body, 10, args[0])
        elif name == "input-rate":
            for page in pages:
                if page.body.startswith(b"OpusHead"):
                    struct.pack_into("<I", page.body, 12, args[0])
        elif name == "no-eos":
            for page in pages:
                page.header[5] &= ~0x04
        elif name == "repeat":
            pages = repeat_audio(pages, args[0])
        elif name == "mux":
            pages = add_foreign_stream(pages)
        elif name in ("corrupt", "truncate", "pad"):
            tail_ops.append((name, args[0]))
        else:
            raise SystemExit("ogg_rewrite: unknown operation " + op)
    out = bytearray(b"".join(p.to_bytes() for p in pages))
    for name, value in tail_ops:
        if name == "corrupt":
            out[value] ^= 0xFF
        elif name == "pad":
            out += bytes(value)
        else:
            out = out[:value]
    with open(argv[2], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv)
