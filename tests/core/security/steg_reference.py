#!/usr/bin/env python3
"""A second, independent implementation of the picture carrier format, for
checking the program against. Reads and writes 8-bit PNG with zlib only.

  steg_reference.py in CARRIER.png OUT.png PASSWORD ITERATIONS NAME DATAFILE
      hides DATAFILE under NAME; the block's random fill is word i =
      (i * 2654435761 + 12345) mod 2^32, so the result is repeatable.
  steg_reference.py out CARRIER.png PASSWORD ITERATIONS OUTFILE
      writes the hidden content to OUTFILE and prints the name.
  Both print "integrity NNNN" last.
"""
import os
import struct
import sys
import zlib

M = 0xFFFFFFFF


def rol(v, n):
    n &= 31
    v &= M
    return ((v << n) | (v >> (32 - n))) & M if n else v


def ror(v, n):
    return rol(v, 32 - (n & 31))


def swap(v):
    return struct.unpack("<I", struct.pack(">I", v & M))[0]


def words(b):
    return list(struct.unpack("<16I", bytes(b)))


def unwords(w):
    return struct.pack("<16I", *[x & M for x in w])


def mix(s):
    a = 0
    for _ in range(5):
        for j in range(16):
            a = rol(a + swap(s[j]) + s[j], a & 16)
            c = (s[a & 15] + s[j]) & 15
            s[j] = (rol(rol(a + s[j], j) + s[c], c) + swap(s[c])) & M


def mix100(s):
    for _ in range(100):
        mix(s)


def key_step(p, A, B):
    a = 0
    for _ in range(5):
        for j in range(16):
            a = rol(a + swap(p[j] + A[j]) + B[j], a & 16)
            c = (A[a & 15] + B[j]) & 15
            A[j] = (rol(rol(A[j] + a, j) + A[c], c) + swap(p[j])) & M
        for j in range(16):
            a = rol(a + A[j] - swap(p[j] + B[j]), a & 16)
            c = (B[a & 15] + A[j]) & 15
            B[j] = (rol(rol(swap(a) + B[j], j) + B[c], c) + p[j]) & M


def pair(i, A, B):
    x = rol(A[i] + B[i], i) & 15
    return (A[x] + B[x]) & 15


def encrypt_block(V, A, B):
    for i in list(range(16)) + list(range(15, -1, -1)):
        m = pair(i, A, B)
        t = (rol(V[i] + A[i], i) + B[i]) & M
        u = (rol(V[m] + A[m], m) + B[m]) & M
        V[i] = u
        V[m] = t


def decrypt_block(V, A, B):
    for i in list(range(16)) + list(range(15, -1, -1)):
        m = pair(i, A, B)
        u, t = V[i], V[m]
        V[m] = (ror((u - B[m]) & M, m) - A[m]) & M
        V[i] = (ror((t - B[i]) & M, i) - A[i]) & M


def derive(password, salt, pixels, n):
    S = words(salt)
    H = list(S)
    a = 0
    for i, ch in enumerate(password):
        w = i & 15
        c = (ch - 256 if ch > 127 else ch) & M
        a = rol(((swap(a + H[w]) + S[w]) & M) ^ c, a & 16)
        m = (H[a & 15] + S[w]) & 15
        H[w] = (swap(S[m] + H[w]) + rol(a + H[m], m)) & M
    mix100(H)
    K = list(H)
    s = 0
    for i, px in enumerate(pixels):
        w = i & 15
        s = rol((px & 0xFEFEFE) ^ swap(K[w] + s), s & 16)
        s = (s + H[w]) & M
        t = (K[s & 15] + H[w]) & 15
        K[w] = (swap(K[w]) + rol(s + K[t], t)) & M
    mix100(K)
    A, B = list(K), list(K)
    for _ in range(n):
        key_step(K, A, B)
    return A, B


def crypt(buf, count, A, B, forward):
    F = list(A)
    for k in range(count):
        lo = 64 + 64 * k
        key_step(F, A, B)
        V = words(buf[lo:lo + 64])
        if forward:
            F = list(V)
            encrypt_block(V, A, B)
            if V == F:
                raise SystemExit("block %d not encrypted" % k)
        else:
            decrypt_block(V, A, B)
            F = list(V)
        buf[lo:lo + 64] = unwords(V)


def integrity(pixels):
    b = c = 0
    for px in pixels:
        b = rol((px & 0xFEFEFE) ^ swap(b), b & 16)
        c = swap(b + c)
    return ((c & 0xFFFF) ^ ((c >> 16) & 0xFFFF)) % 10000


def usable(pixels, w, h):
    out = []
    for x in range(w - 1):
        for y in range(h - 1):
            p = pixels[y * w + x] & 0xFEFEFE
            r, g, b = (p >> 16) & 255, (p >> 8) & 255, p & 255
            if r == g == b:
                continue
            if p in (pixels[y * w + x + 1] & 0xFEFEFE, pixels[(y + 1) * w + x] & 0xFEFEFE,
                     pixels[(y + 1) * w + x + 1] & 0xFEFEFE):
                continue
            out.append(y * w + x)
    return out


def read_png(path):
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            w, h, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and ctype in (2, 6) and interlace == 0, "unsupported PNG"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    bpp = 4 if ctype == 6 else 3
    raw = zlib.decompress(idat)
    stride = w * bpp
    prev = bytearray(stride)
    pixels = []
    for y in range(h):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            up = prev[i]
            ul = prev[i - bpp] if i >= bpp else 0
            if f == 1:
                line[i] = (line[i] + left) & 255
            elif f == 2:
                line[i] = (line[i] + up) & 255
            elif f == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif f == 4:
                pa, pb, pc = abs(up - ul), abs(left - ul), abs(left + up - 2 * ul)
                pr = left if pa <= pb and pa <= pc else up if pb <= pc else ul
                line[i] = (line[i] + pr) & 255
        for x in range(w):
            r, g, b = line[x * bpp:x * bpp + 3]
            a = line[x * bpp + 3] if bpp == 4 else 255
            pixels.append(a << 24 | r << 16 | g << 8 | b)
        prev = line
    return pixels, w, h


def write_png(path, pixels, w, h):
    raw = bytearray()
    for y in range(h):
        raw.append(0)
        for px in pixels[y * w:(y + 1) * w]:
            raw += bytes(((px >> 16) & 255, (px >> 8) & 255, px & 255, px >> 24))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(
            ">I", zlib.crc32(kind + body) & M)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(bytes(raw))) + chunk(b"IEND", b""))


def steg_in(carrier, out, password, n, name, content):
    pixels, w, h = read_png(carrier)
    use = usable(pixels, w, h)
    size = len(use) // 8 // 64 * 64
    need = ((len(content) + 63) // 64 * 64 + 576) * 8
    if size * 8 < need:
        raise SystemExit("carrier too small: %d < %d" % (size * 8, need))
    buf = bytearray(b"".join(struct.pack("<I", (i * 2654435761 + 12345) & M)
                             for i in range(size // 4)))
    buf[192:192 + len(name) + 1] = name + b"\0"
    buf[448:456] = struct.pack("<iI", len(content), 0)
    d = words(buf[64:128])
    mix100(d)
    buf[128:192] = unwords(d)
    buf[576:576 + len(content)] = content
    A, B = derive(password, buf[:64], pixels, n)
    crypt(buf, size // 64 - 1, A, B, True)
    for j in range(size * 8):
        bit = (buf[j // 8] >> (j % 8)) & 1
        shift = (j % 3) * 8
        px = use[j]
        pixels[px] = (pixels[px] & ~(1 << shift) & M) | (bit << shift)
    write_png(out, pixels, w, h)
    return integrity(pixels)


def steg_out(carrier, password, n):
    pixels, w, h = read_png(carrier)
    use = usable(pixels, w, h)
    size = len(use) // 8 // 64 * 64
    buf = bytearray(size)
    for j in range(size * 8):
        bit = (pixels[use[j]] >> ((j % 3) * 8)) & 1
        buf[j // 8] |= bit << (j % 8)
    A, B = derive(password, buf[:64], pixels, n)
    crypt(buf, size // 64 - 1, A, B, False)
    d = words(buf[64:128])
    mix100(d)
    if unwords(d) != bytes(buf[128:192]):
        raise SystemExit("signature does not hold")
    length = struct.unpack("<i", buf[448:452])[0]
    name = bytes(buf[192:448]).split(b"\0")[0]
    return name, bytes(buf[576:576 + length]), integrity(pixels)


def main(argv):
    if argv[1] == "in":
        _, _, carrier, out, password, n, name, datafile = argv
        content = open(datafile, "rb").read()
        print("integrity %04d" % steg_in(carrier, out, os.fsencode(password), int(n), os.fsencode(name),
                                         content))
    elif argv[1] == "out":
        _, _, carrier, password, n, outfile = argv
        name, content, number = steg_out(carrier, os.fsencode(password), int(n))
        open(outfile, "wb").write(content)
        print(name.decode("utf-8", "replace"))
        print("integrity %04d" % number)
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
