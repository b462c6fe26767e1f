"""Reads 8-bit RGB or RGBA PNG files (as the show writes them) into rows of (r, g, b) bytes, with the
standard library only, and measures what the end-to-end tests look for."""
import struct
import zlib


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG: " + path
    pos, idat, width, height, channels = 8, b"", 0, 0, 3
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and colour in (2, 6), "only 8-bit RGB or RGBA"
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, prev = [], bytearray(stride)
    for y in range(height):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line) if channels == 3 else bytes(v for i, v in enumerate(line) if i % 4 != 3))
        prev = line
    return width, height, rows


def count_pixels(rows, test):
    n = 0
    for row in rows:
        for i in range(0, len(row), 3):
            if test(row[i], row[i + 1], row[i + 2]):
                n += 1
    return n


def mean_brightness(rows):
    total = sum(sum(row) for row in rows)
    return total / (len(rows) * len(rows[0]))


def specks(rows):
    """Film-grain specks: small bright points on a dark surrounding (pixels well above the mean of the
    pixels two to the left, right, above and below, all of which are dark)."""
    n = 0
    for y in range(2, len(rows) - 2, 2):
        row, up, down = rows[y], rows[y - 2], rows[y + 2]
        for x in range(6, len(row) - 6, 6):
            v = row[x + 1]
            around = (row[x - 5] + row[x + 7] + up[x + 1] + down[x + 1]) / 4
            if around < 40 and v > around + 50:
                n += 1
    return n



def band_edge_shifts(rows, reach=150):
    """The torn picture's band edges and how far each pushes its two bands apart. Only colour is compared
    (warm against blue, green against magenta), so the grey film grain and scratches laid over the picture
    drop out. The edges repeat at a fixed spacing: the spacing and phase whose rows change most find them.
    At each edge the rows just above are matched against the rows just below shifted by up to `reach`
    pixels. Returns (spacing, [(row, shift in pixels, mismatch at that shift / mismatch unshifted)])."""
    warm = [[row[i] + row[i + 1] - 2 * row[i + 2] for i in range(0, len(row), 3)] for row in rows]
    green = [[2 * row[i + 1] - row[i] - row[i + 2] for i in range(0, len(row), 3)] for row in rows]
    width, height = len(warm[0]), len(warm)
    xs = range(reach + 10, width - reach - 10, 2)
    change = [sum(abs(warm[y][x] - warm[y + 1][x]) + abs(green[y][x] - green[y + 1][x]) for x in xs)
              for y in range(height - 1)]
    best = (0, 0, 0)
    for spacing in (s / 50 for s in range(500, 1000)):
        for phase in (q / 4 for q in range(int(spacing * 4))):
            teeth = [change[int(phase + k * spacing)] for k in range(int((height - 1 - phase) / spacing))]
            best = max(best, (sum(teeth) / len(teeth), spacing, phase))
    _, spacing, phase = best

    def rows_mean(first, last):
        return [[sum(channel[r][x] for r in range(first, last)) / (last - first) for x in range(width)]
                for channel in (warm, green)]

    jumps = []
    edge = phase
    while edge < height - 8:
        y = int(edge)
        edge += spacing
        if y < 6:
            continue
        above, below = rows_mean(y - 4, y), rows_mean(y + 2, y + 6)

        def mismatch(d):
            return sum(abs(a[x] - b[x + d]) for a, b in zip(above, below) for x in xs) / len(xs)

        plain = mismatch(0)
        least, shift = min((mismatch(d), d) for d in range(-reach, reach + 1))
        jumps.append((y, shift, least / plain if plain else 1.0))
    return spacing, jumps
