#!/usr/bin/env python3
"""Puts HEIF test pictures together the way phones write them, from single pictures that
Debian's heif-enc coded: a grid of tiles as one primary image, turned (irot) and mirrored
(imir) by the container, with an EXIF block whose Orientation names a turn of its own
(which a reader must not apply on top of the container's).

    make-heif.py OUT.heic --tiles COLUMNS ROWS TILE.heic... [--irot N] [--imir AXIS] [--exif-orientation N]

Each tile file holds one HEVC-coded picture; their coded data and decoder configuration
(hvcC) are taken as they are. The grid's size is the tiles' size times the counts."""

import argparse
import struct
import sys


def box(kind, payload):
    return struct.pack(">I4s", 8 + len(payload), kind) + payload


def full_box(kind, version, flags, payload):
    return box(kind, struct.pack(">I", version << 24 | flags) + payload)


def children(data, start, end):
    """(kind, payload start, payload end) of the boxes between start and end."""
    at = start
    while at + 8 <= end:
        size, kind = struct.unpack_from(">I4s", data, at)
        header = 8
        if size == 1:
            size = struct.unpack_from(">Q", data, at + 8)[0]
            header = 16
        if size < header or at + size > end:
            raise ValueError("broken box at %d" % at)
        yield kind, at + header, at + size
        at += size


def find(data, start, end, kind):
    for k, s, e in children(data, start, end):
        if k == kind:
            return s, e
    raise ValueError("no %r box" % kind)


def read_tile(path):
    """The primary item's coded bytes, its hvcC box and its size."""
    data = open(path, "rb").read()
    ms, me = find(data, 0, len(data), b"meta")
    ms += 4  # a full box
    ps, _ = find(data, ms, me, b"pitm")
    primary = struct.unpack_from(">H", data, ps + 4)[0]
    ls, le = find(data, ms, me, b"iloc")
    version = data[ls]
    sizes = struct.unpack_from(">H", data, ls + 4)[0]
    offset_size, length_size, base_size = sizes >> 12, sizes >> 8 & 15, sizes >> 4 & 15
    index_size = sizes & 15 if version in (1, 2) else 0
    at = ls + 6
    count = struct.unpack_from(">H", data, at)[0]
    at += 2

    def read_n(n):
        nonlocal at
        value = int.from_bytes(data[at:at + n], "big") if n else 0
        at += n
        return value

    coded = None
    for _ in range(count):
        item = read_n(2)
        if version in (1, 2):
            read_n(2)  # construction method: files from heif-enc keep their data in mdat
        read_n(2)
        base = read_n(base_size)
        extents = read_n(2)
        pieces = []
        for _ in range(extents):
            read_n(index_size)
            offset, length = read_n(offset_size), read_n(length_size)
            pieces.append(data[base + offset:base + offset + length])
        if item == primary:
            coded = b"".join(pieces)
    rs, re = find(data, ms, me, b"iprp")
    cs, ce = find(data, rs, re, b"ipco")
    properties = [(k, data[s - 8:e], s, e) for k, s, e in children(data, cs, ce)]
    as_, ae = find(data, rs, re, b"ipma")
    ipma_version, ipma_flags = data[as_], int.from_bytes(data[as_ + 1:as_ + 4], "big")
    hvcc = ispe = None
    at = as_ + 4
    entries = struct.unpack_from(">I", data, at)[0]
    at += 4
    for _ in range(entries):
        item = struct.unpack_from(">H" if ipma_version < 1 else ">I", data, at)[0]
        at += 2 if ipma_version < 1 else 4
        n = data[at]
        at += 1
        for _ in range(n):
            if ipma_flags & 1:
                index = struct.unpack_from(">H", data, at)[0] & 0x7FFF
                at += 2
            else:
                index = data[at] & 0x7F
                at += 1
            if item == primary and index:
                kind, whole, s, e = properties[index - 1]
                if kind == b"hvcC":
                    hvcc = whole
                if kind == b"ispe":
                    ispe = struct.unpack_from(">II", data, s + 4)
    if coded is None or hvcc is None or ispe is None:
        raise ValueError("%s: no primary HEVC picture" % path)
    return coded, hvcc, ispe


def exif_block(orientation):
    """A little-endian TIFF structure with one entry: Orientation."""
    tiff = b"II*\x00" + struct.pack("<I", 8)
    tiff += struct.pack("<H", 1) + struct.pack("<HHII", 0x0112, 3, 1, orientation) + struct.pack("<I", 0)
    return struct.pack(">I", 0) + tiff


def make(out, columns, rows, tiles, irot, imir, exif_orientation, size=None):
    coded = [read_tile(t) for t in tiles]
    if len(coded) != columns * rows:
        raise ValueError("%d tiles for a grid of %d x %d" % (len(coded), columns, rows))
    tile_w, tile_h = coded[0][2]
    grid = columns * rows > 1
    width, height = size if size else (tile_w * columns, tile_h * rows)

    # Items: 1 the primary (the grid, or the one picture), then tiles, then EXIF.
    items = []  # (id, type, hidden, data)
    if grid:
        # 32-bit output sizes (flags bit 0) when the size does not fit 16 bits.
        wide = width > 0xFFFF or height > 0xFFFF
        grid_data = struct.pack(">BBBBII" if wide else ">BBBBHH", 0, 1 if wide else 0, rows - 1, columns - 1, width, height)
        items.append((1, b"grid", False, grid_data))
        for i, (data, _, _) in enumerate(coded):
            items.append((2 + i, b"hvc1", True, data))
    else:
        items.append((1, b"hvc1", False, coded[0][0]))
    exif_id = len(items) + 1
    if exif_orientation:
        items.append((exif_id, b"Exif", False, exif_block(exif_orientation)))

    # Properties: each tile's hvcC, the tile size, the picture size, the turn and mirror.
    props = [c[1] for c in coded]
    tile_ispe = len(props) + 1
    props.append(full_box(b"ispe", 0, 0, struct.pack(">II", tile_w, tile_h)))
    grid_ispe = len(props) + 1
    props.append(full_box(b"ispe", 0, 0, struct.pack(">II", width, height)))
    transforms = []
    if irot:
        props.append(box(b"irot", bytes([irot & 3])))
        transforms.append(len(props))
    if imir is not None:
        props.append(box(b"imir", bytes([imir & 1])))
        transforms.append(len(props))

    def assoc(item, indices):
        return struct.pack(">HB", item, len(indices)) + bytes(0x80 | i if essential else i for i, essential in indices)

    ipma = []
    if grid:
        ipma.append(assoc(1, [(grid_ispe, False)] + [(t, True) for t in transforms]))
        for i in range(len(coded)):
            ipma.append(assoc(2 + i, [(1 + i, True), (tile_ispe, False)]))
    else:
        ipma.append(assoc(1, [(1, True), (tile_ispe, False)] + [(t, True) for t in transforms]))
    iprp = box(b"iprp", box(b"ipco", b"".join(props)) +
               full_box(b"ipma", 0, 0, struct.pack(">I", len(ipma)) + b"".join(ipma)))

    iinf = full_box(b"iinf", 0, 0, struct.pack(">H", len(items)) + b"".join(
        full_box(b"infe", 2, 1 if hidden else 0, struct.pack(">HH4s", i, 0, kind) + b"\x00")
        for i, kind, hidden, _ in items))
    refs = b""
    if grid:
        refs += box(b"dimg", struct.pack(">HH", 1, len(coded)) + b"".join(struct.pack(">H", 2 + i) for i in range(len(coded))))
    if exif_orientation:
        refs += box(b"cdsc", struct.pack(">HHH", exif_id, 1, 1))
    iref = full_box(b"iref", 0, 0, refs) if refs else b""
    hdlr = full_box(b"hdlr", 0, 0, b"\x00" * 4 + b"pict" + b"\x00" * 12 + b"\x00")
    pitm = full_box(b"pitm", 0, 0, struct.pack(">H", 1))
    ftyp = box(b"ftyp", b"heic" + struct.pack(">I", 0) + b"mif1heic")

    def iloc(first_offset):
        entries, at = [], first_offset
        for i, _, _, data in items:
            entries.append(struct.pack(">HHHII", i, 0, 1, at, len(data)))
            at += len(data)
        return full_box(b"iloc", 0, 0, struct.pack(">BBH", 0x44, 0x00, len(items)) + b"".join(entries))

    def meta(first_offset):
        return full_box(b"meta", 0, 0, hdlr + pitm + iinf + iref + iprp + iloc(first_offset))

    mdat_start = len(ftyp) + len(meta(0)) + 8
    payload = b"".join(data for _, _, _, data in items)
    with open(out, "wb") as f:
        f.write(ftyp + meta(mdat_start) + box(b"mdat", payload))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("out")
    parser.add_argument("--tiles", nargs="+", required=True, help="COLUMNS ROWS TILE...")
    parser.add_argument("--irot", type=int, default=0, help="turns of 90 degrees, anticlockwise")
    parser.add_argument("--imir", type=int, default=None, help="0: about the vertical axis, 1: the horizontal")
    parser.add_argument("--exif-orientation", type=int, default=0)
    parser.add_argument("--size", type=int, nargs=2, default=None,
                        help="W H: the size the grid declares, whatever its tiles cover")
    args = parser.parse_args()
    columns, rows, tiles = int(args.tiles[0]), int(args.tiles[1]), args.tiles[2:]
    make(args.out, columns, rows, tiles, args.irot, args.imir, args.exif_orientation, args.size)


if __name__ == "__main__":
    sys.exit(main())
