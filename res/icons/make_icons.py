#!/usr/bin/env python3
"""Draws Kesvora's icons and writes them as classic .ico files.

Every picture is drawn at 8x its final size with Pillow, reduced with a box
filter (premultiplied, so edges blend correctly) and then turned into the
old-style icon image that rc.exe, windres and Wine all load without fuss:
BITMAPINFOHEADER with doubled height, 24-bit BGR rows bottom-up, then the
1-bit AND mask (1 = transparent).  Pillow's own ICO writer is not used: it
stores PNG entries.

    make_icons.py                write the .ico files next to this script
    make_icons.py --preview DIR  also write preview sheets into DIR
    make_icons.py --check        parse the .ico files back (no Pillow needed)
"""

import math
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SS = 8                      # supersampling factor
ALPHA_CUT = 128             # coverage at or above this is opaque in the mask
MENU_GREY = (212, 208, 200)

# ---------------------------------------------------------------------------
# ICO encoding and decoding (pure Python)
# ---------------------------------------------------------------------------


def _xor_stride(w):
    return (w * 3 + 3) // 4 * 4


def _and_stride(w):
    return (w + 31) // 32 * 4


def encode_image(w, h, pixels):
    """pixels: row-major list of (r, g, b) or None for transparent.
    Returns the DIB bytes of one icon image."""
    assert len(pixels) == w * h
    head = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, 24, 0,
                       (_xor_stride(w) + _and_stride(w)) * h, 0, 0, 0, 0)
    xor = bytearray()
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray()
        bits = bytearray(_and_stride(w))
        for x in range(w):
            p = pixels[y * w + x]
            if p is None:
                row += b'\0\0\0'      # black, so AND-then-XOR leaves the screen
                bits[x >> 3] |= 0x80 >> (x & 7)
            else:
                row += bytes((p[2], p[1], p[0]))
        row += b'\0' * (_xor_stride(w) - len(row))
        xor += row
        mask += bits
    return head + bytes(xor) + bytes(mask)


def encode_ico(images):
    """images: list of (w, h, pixels).  Returns the whole .ico file."""
    blobs = [encode_image(*im) for im in images]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for (w, h, _), blob in zip(images, blobs):
        out += struct.pack('<BBBBHHII', w & 0xFF, h & 0xFF, 0, 0, 1, 24,
                           len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


class IcoError(Exception):
    pass


def decode_ico(data):
    """Parses a classic 24-bit .ico.  Returns a list of (w, h, pixels) in the
    same form encode_ico takes.  Raises IcoError on anything malformed."""
    if len(data) < 6:
        raise IcoError('file shorter than its header')
    reserved, kind, count = struct.unpack_from('<HHH', data, 0)
    if reserved != 0 or kind != 1 or count == 0:
        raise IcoError('not an icon directory (%d, %d, %d)'
                       % (reserved, kind, count))
    if len(data) < 6 + 16 * count:
        raise IcoError('directory truncated')
    images = []
    used = [(0, 6 + 16 * count)]
    for i in range(count):
        bw, bh, colours, res, planes, bpp, size, off = struct.unpack_from(
            '<BBBBHHII', data, 6 + 16 * i)
        w, h = bw or 256, bh or 256
        if colours != 0 or res != 0 or planes != 1 or bpp != 24:
            raise IcoError('entry %d: not a plain 24-bit entry' % i)
        if off + size > len(data):
            raise IcoError('entry %d: data runs past the end of the file' % i)
        for a, b in used:
            if off < b and a < off + size:
                raise IcoError('entry %d overlaps other data' % i)
        used.append((off, off + size))
        (bi_size, bi_w, bi_h, bi_planes, bi_bpp, bi_comp,
         bi_image) = struct.unpack_from('<IiiHHII', data, off)
        if bi_size != 40:
            raise IcoError('entry %d: header size %d, not 40' % (i, bi_size))
        if (bi_w, bi_h, bi_planes, bi_bpp, bi_comp) != (w, 2 * h, 1, 24, 0):
            raise IcoError('entry %d: header %dx%d/%d planes/%d bpp/comp %d '
                           'does not match a %dx%d 24-bit entry'
                           % (i, bi_w, bi_h, bi_planes, bi_bpp, bi_comp, w, h))
        need = 40 + (_xor_stride(w) + _and_stride(w)) * h
        if size != need or bi_image not in (0, need - 40):
            raise IcoError('entry %d: %d bytes, expected %d' % (i, size, need))
        xor_at = off + 40
        and_at = xor_at + _xor_stride(w) * h
        pixels = [None] * (w * h)
        for row in range(h):
            y = h - 1 - row
            xr = xor_at + row * _xor_stride(w)
            ar = and_at + row * _and_stride(w)
            for x in range(w):
                b, g, r = data[xr + 3 * x: xr + 3 * x + 3]
                clear = data[ar + (x >> 3)] & (0x80 >> (x & 7))
                if clear:
                    if (r, g, b) != (0, 0, 0):
                        raise IcoError('entry %d: transparent pixel (%d,%d) '
                                       'is not black' % (i, x, y))
                else:
                    pixels[y * w + x] = (r, g, b)
        images.append((w, h, pixels))
    return images


# ---------------------------------------------------------------------------
# Drawing kit.  Coordinates are in final pixels (floats); a pixel x covers
# [x, x+1).  Light comes from the upper left throughout.
# ---------------------------------------------------------------------------

Image = ImageDraw = ImageChops = None


def load_pil():
    global Image, ImageDraw, ImageChops
    try:
        from PIL import Image as I, ImageDraw as D, ImageChops as C
    except ImportError:
        sys.exit('make_icons.py: drawing needs Pillow (Debian: python3-pil; '
                 'try /usr/bin/python3)')
    Image, ImageDraw, ImageChops = I, D, C


def mix(a, b, t):
    return tuple(int(round(a[k] + (b[k] - a[k]) * t)) for k in range(3))


def shade(c, f):
    """f < 0 darkens towards black, f > 0 lightens towards white."""
    return mix(c, (0, 0, 0), -f) if f < 0 else mix(c, (255, 255, 255), f)


# Palette: for each hue a light, mid and dark tone plus the outline colour.
class Hue:
    def __init__(self, light, mid, dark, line):
        self.light, self.mid, self.dark, self.line = light, mid, dark, line


GREEN = Hue((160, 232, 128), (64, 176, 60), (26, 112, 34), (12, 60, 18))
RED = Hue((255, 132, 116), (222, 38, 40), (140, 12, 18), (88, 6, 10))
BLUE = Hue((150, 200, 255), (48, 112, 216), (20, 52, 140), (10, 28, 84))
ORANGE = Hue((255, 214, 120), (250, 146, 28), (196, 86, 0), (112, 46, 0))
YELLOW = Hue((255, 248, 160), (252, 214, 36), (206, 150, 0), (100, 70, 0))
GREY = Hue((236, 236, 240), (170, 172, 180), (104, 106, 116), (52, 54, 62))
SILVER = Hue((252, 252, 254), (214, 218, 228), (160, 166, 182), (80, 86, 104))
BEIGE = Hue((246, 242, 228), (216, 208, 184), (160, 150, 124), (78, 72, 58))
INK = (20, 20, 24)


class Canvas:
    """A picture designed on a grid of `design` units drawn n pixels wide:
    coordinates, radii and stroke widths are in design units."""

    def __init__(self, n, design=32):
        self.n = n
        self.W = n * SS
        self.k = SS * n / design     # supersampled pixels per design unit
        # Outlines keep their design width in pixels below the design size,
        # so that small images keep a clean edge, and grow above it.
        self.outline_k = SS * max(1.0, n / design)
        self.img = Image.new('RGBA', (self.W, self.W), (0, 0, 0, 0))

    # ---- masks -----------------------------------------------------------
    def blank(self):
        return Image.new('L', (self.W, self.W), 0)

    def _pts(self, pts):
        return [(x * self.k, y * self.k) for x, y in pts]

    def poly(self, pts):
        m = self.blank()
        ImageDraw.Draw(m).polygon(self._pts(pts), fill=255)
        return m

    def rect(self, x0, y0, x1, y1):
        m = self.blank()
        ImageDraw.Draw(m).rectangle(
            (x0 * self.k, y0 * self.k, x1 * self.k - 1, y1 * self.k - 1),
            fill=255)
        return m

    def disc(self, cx, cy, rx, ry=None):
        ry = rx if ry is None else ry
        m = self.blank()
        k = self.k
        ImageDraw.Draw(m).ellipse(((cx - rx) * k, (cy - ry) * k,
                                   (cx + rx) * k - 1, (cy + ry) * k - 1),
                                  fill=255)
        return m

    def stroke(self, pts, width):
        """A polyline of the given width with round joins and caps."""
        m = self.blank()
        d = ImageDraw.Draw(m)
        p = self._pts(pts)
        r = width * self.k / 2
        d.line(p, fill=255, width=max(1, int(round(width * self.k))))
        for x, y in p:
            d.ellipse((x - r, y - r, x + r, y + r), fill=255)
        return m

    @staticmethod
    def union(*ms):
        out = ms[0]
        for m in ms[1:]:
            out = ImageChops.lighter(out, m)
        return out

    @staticmethod
    def inter(a, b):
        return ImageChops.darker(a, b)

    @staticmethod
    def minus(a, b):
        return ImageChops.subtract(a, b)

    def dilate(self, m, width):
        """Grows a mask by an outline `width` units wide, round brush."""
        r = int(round(width * self.outline_k))
        out = m.copy()
        for dy in range(-r, r + 1):
            for dx in range(-r, r + 1):
                if (dx or dy) and dx * dx + dy * dy <= r * r + r:
                    shifted = self.blank()
                    shifted.paste(m, (dx, dy))
                    out = ImageChops.lighter(out, shifted)
        return out

    # ---- paints ----------------------------------------------------------
    def _ramp(self, t_img, stops):
        """Maps an 'L' parameter image through colour stops [(t, rgb)...]."""
        lut = [[], [], []]
        for i in range(256):
            t = i / 255
            for k in range(len(stops) - 1):
                if t <= stops[k + 1][0] or k == len(stops) - 2:
                    t0, c0 = stops[k]
                    t1, c1 = stops[k + 1]
                    u = 0 if t1 == t0 else min(1, max(0, (t - t0) / (t1 - t0)))
                    c = mix(c0, c1, u)
                    break
            for ch in range(3):
                lut[ch].append(c[ch])
        return Image.merge('RGB', [t_img.point(lut[ch]) for ch in range(3)])

    def _param(self, f):
        W = self.W
        vals = bytearray(W * W)
        i = 0
        for py in range(W):
            y = (py + 0.5) / self.k
            for px in range(W):
                t = f((px + 0.5) / self.k, y)
                vals[i] = 0 if t <= 0 else 255 if t >= 1 else int(t * 255)
                i += 1
        return Image.frombytes('L', (W, W), bytes(vals))

    def linear(self, p0, p1, stops):
        (x0, y0), (x1, y1) = p0, p1
        dx, dy = x1 - x0, y1 - y0
        ll = dx * dx + dy * dy
        return self._ramp(self._param(
            lambda x, y: ((x - x0) * dx + (y - y0) * dy) / ll), stops)

    def radial(self, c, r, stops):
        cx, cy = c
        return self._ramp(self._param(
            lambda x, y: math.hypot(x - cx, y - cy) / r), stops)

    def paint_fn(self, f, stops):
        return self._ramp(self._param(f), stops)

    # ---- compositing -----------------------------------------------------
    def fill(self, mask, paint):
        if isinstance(paint, tuple):
            paint = Image.new('RGB', (self.W, self.W), paint)
        layer = paint.convert('RGBA')
        layer.putalpha(mask)
        self.img = Image.alpha_composite(self.img, layer)

    def shape(self, mask, paint, line=None, width=1.0):
        """Fills a mask, first laying an outline of `width` around it."""
        if line is not None:
            self.fill(self.dilate(mask, width), line)
        self.fill(mask, paint)

    # ---- reduction -------------------------------------------------------
    def pixels(self):
        """Box-reduces to the final size and thresholds the coverage.
        Returns the pixel list for encode_image."""
        r, g, b, a = self.img.split()
        small_a = a.reduce(SS)
        chans = [ImageChops.multiply(ch, a).reduce(SS) for ch in (r, g, b)]
        A = small_a.tobytes()
        C = [ch.tobytes() for ch in chans]
        out = []
        for i in range(self.n * self.n):
            if A[i] < ALPHA_CUT:
                out.append(None)
                continue
            px = tuple(min(254, int(round(C[k][i] * 255 / A[i])))
                       for k in range(3))
            out.append(px)  # never pure white: the grayed-menu emboss
            # treats white as background
        return out


# ---------------------------------------------------------------------------
# Shared parts
# ---------------------------------------------------------------------------


def box_faces(x0, y0, w, h, dx, dy):
    """Front, top and right faces of a box seen from the upper left."""
    front = [(x0, y0), (x0 + w, y0), (x0 + w, y0 + h), (x0, y0 + h)]
    top = [(x0, y0), (x0 + dx, y0 - dy), (x0 + w + dx, y0 - dy), (x0 + w, y0)]
    side = [(x0 + w, y0), (x0 + w + dx, y0 - dy),
            (x0 + w + dx, y0 + h - dy), (x0 + w, y0 + h)]
    return front, top, side


def draw_box(c, faces, hue, line=None):
    front, top, side = faces
    fm, tm, sm = c.poly(front), c.poly(top), c.poly(side)
    c.fill(c.dilate(c.union(fm, tm, sm), 1.0), line or hue.line)
    x0, y0 = front[0]
    x1, y1 = front[2]
    c.fill(tm, c.linear(top[1], front[1], [(0, hue.light),
                                           (1, mix(hue.light, hue.mid, .5))]))
    c.fill(fm, c.linear((x0, y0), (x1, y1), [(0, mix(hue.light, hue.mid, .35)),
                                             (1, hue.mid)]))
    c.fill(sm, c.linear(side[0], side[2], [(0, mix(hue.mid, hue.dark, .45)),
                                           (1, hue.dark)]))
    # crisp light edge where the top meets the front
    c.fill(c.inter(c.stroke([front[0], front[1]], 0.9), fm),
           mix(hue.light, (255, 255, 255), .4))


def drive_front(c, x0, y0, w, h, hue, led=(90, 230, 60), small=False):
    """Tray slot, light and eject button on the front face of a drive."""
    sy = y0 + h * 0.36
    c.fill(c.rect(x0 + 1.5, sy, x0 + w - 1.5, sy + 1), hue.line)
    c.fill(c.rect(x0 + 1.5, sy + 1, x0 + w - 1.5, sy + 2),
           mix(hue.light, (255, 255, 255), .5))
    if small:
        return
    by = y0 + h - 3
    c.shape(c.rect(x0 + w - 6, by, x0 + w - 2, by + 1.5),
            mix(hue.mid, hue.dark, .3), hue.line, 0.6)
    c.shape(c.rect(x0 + 2, by, x0 + 4, by + 1.5), led, shade(led, -.6), 0.6)


def round_frame(c, ring, face, r=16.0, ring_w=2.5, cx=16.0, cy=16.0):
    """A raised round bezel with a sunken face; returns the face radius."""
    c.fill(c.disc(cx, cy, r), ring.line)
    c.fill(c.disc(cx, cy, r - 1),
           c.linear((cx - r, cy - r), (cx + r * .7, cy + r * .7),
                    [(0, ring.light), (.55, ring.mid), (1, ring.dark)]))
    inner = r - 1 - ring_w
    c.fill(c.disc(cx, cy, inner), ring.dark)
    c.fill(c.disc(cx, cy, inner - 1),
           c.linear((cx - inner, cy - inner), (cx + inner, cy + inner),
                    [(0, face.mid), (.6, face.light), (1, face.light)]))
    return inner - 1


def gear_pts(cx, cy, r_out, r_in, teeth, phase=0.0):
    pts = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        a = phase + i * step
        for frac, rad in ((-.5, r_in), (-.22, r_out), (.22, r_out),
                          (.5, r_in)):
            pts.append((cx + rad * math.cos(a + frac * step),
                        cy + rad * math.sin(a + frac * step)))
    return pts


def draw_gear(c, cx, cy, r_out, r_in, teeth, phase, hue, hole, hole_colour):
    m = c.poly(gear_pts(cx, cy, r_out, r_in, teeth, phase))
    c.shape(m, c.linear((cx - r_out, cy - r_out), (cx + r_out, cy + r_out),
                        [(0, hue.light), (.5, hue.mid), (1, hue.dark)]),
            hue.line, 1.0)
    c.shape(c.disc(cx, cy, hole), hole_colour, hue.line, 1.0)


def ellipse_pts(cx, cy, rx, ry, angle=0.0, n=64):
    ca, sa = math.cos(angle), math.sin(angle)
    out = []
    for i in range(n):
        t = 2 * math.pi * i / n
        x, y = rx * math.cos(t), ry * math.sin(t)
        out.append((cx + x * ca - y * sa, cy + x * sa + y * ca))
    return out


def draw_bow(c, kx, ky, span, lift, knot, tilt=28, hole=True):
    """Two ribbon loops either side of a knot at (kx, ky), outlined as one
    shape so the bow stays a clean silhouette at small sizes."""
    loops = []
    for side in (-1, 1):
        ang = side * math.radians(tilt)
        lx, ly = kx + side * span * .5, ky - lift
        loops.append((side, ang, lx, ly,
                      c.poly(ellipse_pts(lx, ly, span * .55, span * .34,
                                         ang))))
    knot_m = c.disc(kx, ky, knot, knot * .85)
    c.fill(c.dilate(c.union(knot_m, *[l[4] for l in loops]), 1.0), RED.line)
    for side, ang, lx, ly, m in loops:
        c.fill(m, c.linear((lx - span * .5, ly - span * .4),
                           (lx + span * .5, ly + span * .4),
                           [(0, RED.light), (.5, RED.mid), (1, RED.dark)]))
        if hole:
            hx, hy = lx + side * span * .08, ly + span * .04
            c.fill(c.poly(ellipse_pts(hx, hy, span * .26, span * .11, ang)),
                   RED.line)
    c.shape(knot_m, c.radial((kx - knot * .4, ky - knot * .4), knot * 1.6,
                             [(0, RED.light), (1, RED.mid)]), RED.line, .6)


# ---------------------------------------------------------------------------
# The pictures
# ---------------------------------------------------------------------------


def pic_app(n):
    c = Canvas(n)
    x0, y0, w, h, dx, dy = 1, 17, 20, 12, 9, 7
    faces = box_faces(x0, y0, w, h, dx, dy)
    draw_box(c, faces, GREEN)
    drive_front(c, x0, y0, w, h, GREEN, led=(255, 226, 60))
    # ribbon: one band front-to-back (over the front), one left-to-right
    # (over the right side), crossing under the bow
    rb = 3.0
    mx = x0 + w / 2
    front_band = [(mx - rb / 2, y0), (mx + rb / 2, y0),
                  (mx + rb / 2, y0 + h), (mx - rb / 2, y0 + h)]
    top_band_b = [(mx - rb / 2, y0), (mx + rb / 2, y0),
                  (mx + rb / 2 + dx, y0 - dy), (mx - rb / 2 + dx, y0 - dy)]
    s0, s1 = .3, .7
    top_band_a = [(x0 + dx * s0, y0 - dy * s0), (x0 + w + dx * s0, y0 - dy * s0),
                  (x0 + w + dx * s1, y0 - dy * s1), (x0 + dx * s1, y0 - dy * s1)]
    side_band = [(x0 + w + dx * s0, y0 - dy * s0),
                 (x0 + w + dx * s1, y0 - dy * s1),
                 (x0 + w + dx * s1, y0 - dy * s1 + h),
                 (x0 + w + dx * s0, y0 - dy * s0 + h)]
    top_clip = c.poly(faces[1])
    for band, paint in (
            (front_band, c.linear((mx - 2, 0), (mx + 2, 0),
                                  [(0, RED.light), (.5, RED.mid),
                                   (1, RED.dark)])),
            (side_band, mix(RED.mid, RED.dark, .55)),
            (top_band_a, mix(RED.light, RED.mid, .45)),
            (top_band_b, mix(RED.light, RED.mid, .3))):
        m = c.poly(band)
        if band in (top_band_a, top_band_b):
            m = c.inter(m, top_clip)
        c.fill(m, paint)
    # thin dark edges so the ribbon reads against the box
    for band in (front_band,):
        for xe in (band[0][0], band[1][0]):
            c.fill(c.rect(xe - .35, y0 + .5, xe + .35, y0 + h), RED.line)
    draw_bow(c, mx + dx / 2, y0 - dy / 2 - .2, 7.0, 3.6, 1.8, tilt=38)
    return c


def pic_app_small(n):
    c = Canvas(n, 16)
    x0, y0, w, h, dx, dy = 1, 9, 10, 6, 4, 3
    faces = box_faces(x0, y0, w, h, dx, dy)
    draw_box(c, faces, GREEN)
    drive_front(c, x0, y0, w, h, GREEN, small=True)
    mx = x0 + w / 2
    rb = 2.0
    c.fill(c.rect(mx - rb / 2, y0, mx + rb / 2, y0 + h),
           c.linear((mx - 1, 0), (mx + 1, 0), [(0, RED.light), (1, RED.mid)]))
    band = [(mx - rb / 2, y0), (mx + rb / 2, y0),
            (mx + rb / 2 + dx, y0 - dy), (mx - rb / 2 + dx, y0 - dy)]
    c.fill(c.inter(c.poly(band), c.poly(faces[1])),
           mix(RED.light, RED.mid, .3))
    c.fill(c.rect(x0 + w + dx * .3, y0 - dy * .5, x0 + w + dx * .75,
                  y0 - dy * .5 + h), RED.dark)
    draw_bow(c, mx + dx / 2, y0 - dy / 2 - .2, 4.0, 1.8, .9, tilt=32)
    return c


def pic_settings(n):
    c = Canvas(n)
    face_r = round_frame(c, SILVER, Hue((250, 252, 255), (214, 224, 240),
                                        None, None))
    face = (238, 242, 250)
    draw_gear(c, 20.3, 20.3, 6.3, 4.5, 7, math.radians(10), RED, 1.5, face)
    draw_gear(c, 12.9, 12.9, 7.6, 5.6, 8, math.radians(22.5), BLUE, 2.3, face)
    return c


def arrow_pts(up):
    pts = [(16, 5.5), (25, 15), (19.5, 15), (19.5, 25.5), (12.5, 25.5),
           (12.5, 15), (7, 15)]
    return pts if up else [(x, 32 - y) for x, y in pts]


def pic_arrow(n, up):
    c = Canvas(n)
    round_frame(c, GREY, Hue((250, 250, 252), (206, 208, 214), None, None))
    m = c.poly(arrow_pts(up))
    c.shape(m, c.linear((7, 5), (25, 27),
                        [(0, ORANGE.light), (.45, ORANGE.mid),
                         (1, ORANGE.dark)]), ORANGE.line, 1.0)
    return c


def drive_at_bottom(c, hue=BEIGE):
    x0, y0, w, h, dx, dy = 1, 22, 23, 7, 7, 4
    draw_box(c, box_faces(x0, y0, w, h, dx, dy), hue)
    drive_front(c, x0, y0, w, h, hue)
    return x0, y0, w, h, dx, dy


def pic_drives(n):
    c = Canvas(n)
    x0, y0, w, h, dx, dy = drive_at_bottom(c)
    gx, gy, r = 16.0, 10.8, 9.6
    c.fill(c.disc(gx + .5, y0 - 2, 7, 1.6), BEIGE.dark)   # shadow on the top
    globe = c.disc(gx, gy, r)
    c.shape(globe, c.radial((gx - r * .4, gy - r * .45), r * 1.5,
                            [(0, (190, 226, 255)), (.35, BLUE.mid),
                             (1, BLUE.dark)]), BLUE.line, 1.0)
    grid = c.blank()
    lw = .7
    for k in (-.5, 0, .5):                      # parallels
        yy = gy + k * r
        half = math.sqrt(max(0, r * r - (k * r) ** 2))
        grid = c.union(grid, c.stroke([(gx - half, yy), (gx + half, yy)], lw))
    for f in (.45, .85):                        # meridians
        e = c.blank()
        ImageDraw.Draw(e).ellipse(((gx - r * f) * c.k, (gy - r) * c.k,
                                   (gx + r * f) * c.k, (gy + r) * c.k),
                                  outline=255, width=max(1, int(lw * c.k)))
        grid = c.union(grid, e)
    grid = c.union(grid, c.stroke([(gx, gy - r), (gx, gy + r)], lw))
    grid = c.inter(grid, c.disc(gx, gy, r - .4))
    c.fill(grid, c.radial((gx - r * .4, gy - r * .45), r * 1.6,
                          [(0, (236, 248, 255)), (1, (110, 160, 236))]))
    c.fill(c.disc(gx - r * .42, gy - r * .45, r * .22, r * .15),
           (240, 250, 255))
    return c


def pic_speed(n):
    c = Canvas(n)
    x0, y0, w, h, dx, dy = drive_at_bottom(c)
    px = 7.0
    foot = y0 - 2
    # pole
    c.shape(c.rect(px - .7, 3, px + .7, foot), c.linear(
        (px - 1, 0), (px + 1, 0), [(0, (200, 200, 210)), (1, (90, 90, 100))]),
        INK, 0.8)
    c.fill(c.disc(px + .5, foot + .4, 2.6, .9), BEIGE.dark)
    c.shape(c.disc(px, 2.8, 1.5), c.radial((px - .6, 2.2), 2,
                                           [(0, (255, 240, 160)),
                                            (1, (200, 150, 20))]), INK, .8)
    # flag: a waving surface split into four quarters
    fx0, fx1, ftop, fh = px + .7, 29.5, 4.5, 13.0
    amp = 2.1

    def wave(u):
        return amp * math.sin(u * 2.0 * math.pi * .85 + .3) * min(1, u * 3)

    def edge(v, u0, u1, n=24):
        return [(fx0 + (fx1 - fx0) * (u0 + (u1 - u0) * i / n),
                 ftop + v * fh + wave(u0 + (u1 - u0) * i / n))
                for i in range(n + 1)]

    def quad(u0, u1, v0, v1):
        return edge(v0, u0, u1) + edge(v1, u0, u1)[::-1]

    whole = c.poly(quad(0, 1, 0, 1))
    c.fill(c.dilate(whole, 1.0), INK)

    def light(x, y):
        u = (x - fx0) / (fx1 - fx0)
        slope = math.cos(u * 2.0 * math.pi * .85 + .3)
        return .5 - .5 * slope

    quarters = ((0, .5, 0, .5, (232, 40, 36)), (.5, 1, 0, .5, (60, 184, 52)),
                (0, .5, .5, 1, (36, 110, 224)), (.5, 1, .5, 1, (252, 200, 20)))
    for u0, u1, v0, v1, col in quarters:
        m = c.poly(quad(u0, u1, v0, v1))
        c.fill(m, c.paint_fn(light, [(0, shade(col, .45)), (.5, col),
                                     (1, shade(col, -.35))]))
    seams = c.union(c.stroke(edge(.5, 0, 1), .6),
                    c.stroke([(fx0 + (fx1 - fx0) * .5, ftop + wave(.5)),
                              (fx0 + (fx1 - fx0) * .5, ftop + fh + wave(.5))],
                             .6))
    c.fill(c.inter(seams, whole), (250, 250, 246))
    return c


def pic_about(n):
    c = Canvas(n)
    # the window
    wx0, wy0, wx1, wy1 = 1, 1, 25, 21
    c.fill(c.rect(wx0, wy0, wx1, wy1), (40, 44, 56))
    c.fill(c.rect(wx0 + 1, wy0 + 1, wx1 - 1, wy1 - 1), (206, 208, 214))
    c.fill(c.rect(wx0 + 1, wy0 + 1, wx1 - 1, wy0 + 5),
           c.linear((wx0, 0), (wx1, 0), [(0, (12, 40, 128)),
                                         (1, (120, 170, 236))]))
    c.shape(c.rect(wx1 - 4.5, wy0 + 2, wx1 - 2, wy0 + 4), (214, 214, 220),
            (30, 30, 40), .5)
    c.fill(c.rect(wx0 + 2, wy0 + 6, wx1 - 2, wy1 - 2), (90, 94, 104))
    c.fill(c.rect(wx0 + 2.5, wy0 + 6.5, wx1 - 2, wy1 - 2), (250, 250, 246))
    for i, ln in enumerate((14, 10, 12)):
        yy = wy0 + 8.5 + i * 2.5
        c.fill(c.rect(wx0 + 4, yy, wx0 + 4 + ln * .5, yy + 1),
               (150, 156, 170))
    # the CD in front
    cx, cy, r = 20.0, 20.0, 10.5
    c.fill(c.disc(cx, cy, r + 1), (62, 68, 86))

    def sheen(x, y):
        a = math.atan2(y - cy, x - cx)
        return .5 + .5 * math.cos(2 * a + .6)

    c.fill(c.disc(cx, cy, r), c.paint_fn(
        sheen, [(0, (150, 160, 184)), (.35, (206, 214, 232)),
                (.6, (250, 236, 250)), (.8, (214, 246, 250)),
                (1, (250, 250, 236))]))
    # a rainbow glint on either side of the hole
    def glint(x, y):
        a = math.atan2(y - cy, x - cx)
        return (math.cos(a + 2.3) + 1) / 2

    for sign in (1, -1):
        band = c.poly([(cx, cy),
                       (cx + sign * r * math.cos(math.radians(-35)),
                        cy + sign * r * math.sin(math.radians(-35))),
                       (cx + sign * r * math.cos(math.radians(-60)),
                        cy + sign * r * math.sin(math.radians(-60)))])
        band = c.minus(band, c.disc(cx, cy, 4.5))
        c.fill(band, c.paint_fn(glint, [(0, (255, 170, 210)),
                                        (.5, (170, 230, 255)),
                                        (1, (255, 240, 150))]))
    c.fill(c.disc(cx, cy, 4.2), (120, 128, 150))
    c.fill(c.disc(cx, cy, 3.4), (226, 230, 238))
    c.fill(c.disc(cx, cy, 2.0), (120, 128, 150))
    # the centre hole shows what is behind the disc
    c.img.paste((0, 0, 0, 0), mask=c.disc(cx, cy, 1.2))
    return c


def pic_exit(n):
    c = Canvas(n)
    c.fill(c.disc(16, 16, 16), YELLOW.line)
    c.fill(c.disc(16, 16, 15), c.linear((2, 2), (28, 28),
                                       [(0, YELLOW.light), (.5, YELLOW.mid),
                                        (1, YELLOW.dark)]))
    c.fill(c.minus(c.disc(16, 16, 15), c.disc(16, 16, 13.6)),
           c.linear((28, 28), (2, 2), [(0, YELLOW.light),
                                       (1, YELLOW.dark)]))
    lw = 2.6
    fig = c.union(
        c.disc(17.6, 6.8, 2.4),
        c.stroke([(16.6, 10.6), (14.6, 17.8)], lw + .4),           # body
        c.stroke([(16.4, 11.6), (19.4, 14.6), (22.2, 13.6)], lw - .3),
        c.stroke([(15.8, 11.8), (12.6, 14.4), (11.4, 17.6)], lw - .3),
        c.stroke([(14.8, 17.6), (18.2, 21.2), (18.6, 25.8)], lw),   # legs
        c.stroke([(14.4, 17.8), (12.6, 21.8), (9.0, 24.6)], lw),
        c.stroke([(18.6, 25.8), (20.8, 25.8)], lw - .4))
    c.fill(fig, INK)
    return c


# Every icon is drawn at each of these sizes, largest first: the small icon
# and the popup menu's icons at 100%, 125%, 150% and 200% display scale (16,
# 20, 24, 32, 40), the large icon at 100% (32).  ui/icons.cpp keeps the
# same list to choose the image that fits a place without stretching.
SIZES = (40, 32, 24, 20, 16)


def pic_app_at(n):
    """The box with the bow; below 20 pixels a simplified drawing of its own."""
    return pic_app_small(n) if n < 20 else pic_app(n)


ICONS = [
    # file, resource number, the picture at n pixels
    ('app.ico', 128, pic_app_at),
    ('showhide.ico', 143, pic_app_at),
    ('settings.ico', 138, pic_settings),
    ('eject.ico', 146, lambda n: pic_arrow(n, True)),
    ('close.ico', 147, lambda n: pic_arrow(n, False)),
    ('drives.ico', 148, pic_drives),
    ('speed.ico', 149, pic_speed),
    ('about.ico', 150, pic_about),
    ('exit.ico', 151, pic_exit),
]


# ---------------------------------------------------------------------------
# Preview: composited with the AND mask the way DrawIconEx does it
# ---------------------------------------------------------------------------


def to_image(w, h, pixels, bg):
    im = Image.new('RGB', (w, h), bg)
    im.putdata([bg if p is None else p for p in pixels])
    return im


def emboss(w, h, pixels, bg):
    """The grayed-menu look: shape = every non-white pixel, drawn once in the
    highlight colour one pixel down-right, then in the shadow colour."""
    im = Image.new('RGB', (w, h), bg)
    shape = [p is not None and p != (255, 255, 255) for p in pixels]
    for (ox, oy), col in (((1, 1), (255, 255, 255)), ((0, 0), (128, 128, 128))):
        for i, on in enumerate(shape):
            x, y = i % w + ox, i // w + oy
            if on and x < w and y < h:
                im.putpixel((x, y), col)
    return im


def write_preview(outdir, decoded):
    """sheet.png: one row per icon with every image at 1x on four
    backgrounds (stacked), at 4x on menu grey, and the 20-pixel image
    embossed as for a grayed menu entry.  menu-size-x4.png: the popup
    menu's column of icons at 100%, 150% and 200% display scale."""
    os.makedirs(outdir, exist_ok=True)
    zoom, big = 4, max(SIZES)
    backgrounds = (MENU_GREY, (255, 255, 255), (58, 110, 165), (10, 36, 106))
    row = max(big * zoom, len(backgrounds) * (big + 2)) + 8
    width = 110 + sum(n + 4 for n in SIZES) + sum(n * zoom + 8 for n in SIZES) + 40
    sheet = Image.new('RGB', (width, len(decoded) * row), MENU_GREY)
    d = ImageDraw.Draw(sheet)
    for i, (name, _, images) in enumerate(decoded):
        top = i * row + 4
        d.text((4, top), name, fill=(0, 0, 0))
        x = 110
        for w, h, px in images:
            for j, bg in enumerate(backgrounds):
                sheet.paste(to_image(w, h, px, bg), (x, top + j * (big + 2)))
            x += w + 4
        for w, h, px in images:
            sheet.paste(to_image(w, h, px, MENU_GREY).resize(
                (w * zoom, h * zoom), Image.NEAREST), (x, top))
            x += w * zoom + 8
        w, h, px = next(im for im in images if im[0] == 20)
        sheet.paste(emboss(w, h, px, MENU_GREY), (x, top))
    path = os.path.join(outdir, 'sheet.png')
    sheet.save(path)
    # what the menu shows: at 150% the 24-pixel image sits in a 30-pixel place
    menu_sizes = ((20, 20), (24, 30), (40, 40))
    strip = Image.new('RGB', (sum(p + 4 for _, p in menu_sizes) * 0 + 8 +
                              len(decoded) * (max(p for _, p in menu_sizes) + 4),
                              sum(p + 8 for _, p in menu_sizes)), MENU_GREY)
    y = 4
    for n, place in menu_sizes:
        for i, (_, _, images) in enumerate(decoded):
            w, h, px = next(im for im in images if im[0] == n)
            off = (place - n) // 2
            strip.paste(to_image(w, h, px, MENU_GREY),
                        (4 + i * (place + 4) + off, y + off))
        y += place + 8
    strip.resize((strip.width * 4, strip.height * 4), Image.NEAREST).save(
        os.path.join(outdir, 'menu-size-x4.png'))
    return path


# ---------------------------------------------------------------------------


def read_all(directory):
    out = []
    for name, number, _ in ICONS:
        with open(os.path.join(directory, name), 'rb') as f:
            out.append((name, number, decode_ico(f.read())))
    return out


def self_test():
    """Round-trips an odd-sized pattern through the encoder and decoder and
    feeds the decoder damaged files; returns a list of failures."""
    fails = []
    w, h = 5, 3
    px = [None if (x + y) % 3 == 0 else (x * 40, y * 80, 200)
          for y in range(h) for x in range(w)]
    good = encode_ico([(w, h, px), (2, 2, [(1, 2, 3)] * 4)])
    back = decode_ico(good)
    if back != [(w, h, px), (2, 2, [(1, 2, 3)] * 4)]:
        fails.append('round trip changed the pixels')
    hdr = 6 + 32
    cases = [
        ('truncated directory', good[:20]),
        ('truncated image', good[:-1]),
        ('wrong type', good[:2] + b'\2\0' + good[4:]),
        ('32-bit entry claimed', good[:12] + b'\x20\0' + good[14:]),
        ('height not doubled', good[:hdr + 8] + struct.pack('<i', h) +
         good[hdr + 12:]),
        # pixel (1, 2) is transparent and is the second one of the first
        # stored (bottom) row
        ('colour under a clear mask bit', good[:hdr + 43] + b'\1' +
         good[hdr + 44:]),
    ]
    for label, data in cases:
        try:
            decode_ico(data)
            fails.append('accepted a damaged file: ' + label)
        except IcoError:
            pass
        except Exception as e:       # any other exception is a parser bug
            fails.append('%s: %r' % (label, e))
    return fails


def check(directory):
    ok = True
    for f in self_test():
        print('self-test: ' + f)
        ok = False
    try:
        decoded = read_all(directory)
    except (OSError, IcoError) as e:
        print('check: %s' % e)
        return False
    want = [(n, n) for n in SIZES]
    try:
        from PIL import Image as PI
    except ImportError:
        PI = None
    for name, number, images in decoded:
        sizes = [(w, h) for w, h, _ in images]
        if sizes != want:
            print('%s: sizes %s' % (name, sizes))
            ok = False
        for w, h, px in images:
            opaque = sum(p is not None for p in px)
            if not w * h // 8 < opaque < w * h:
                print('%s %dx%d: %d opaque pixels, an empty or square '
                      'picture?' % (name, w, h, opaque))
                ok = False
        if PI is not None:
            im = PI.open(os.path.join(directory, name))
            for w, h, px in images:
                im.size = (w, h)
                rgba = list(im.convert('RGBA').getdata())
                for p, q in zip(px, rgba):
                    if (p is None) != (q[3] == 0) or (p and p != q[:3]):
                        print('%s %dx%d: Pillow reads it differently'
                              % (name, w, h))
                        ok = False
                        break
        print('%-13s icon %d: %s ok' % (name, number,
                                         ', '.join('%dx%d' % s for s in sizes)))
    return ok


def main(argv):
    if argv[1:2] == ['--check']:
        return 0 if check(HERE) else 1
    preview = None
    if argv[1:2] == ['--preview'] and len(argv) == 3:
        preview = argv[2]
    elif len(argv) > 1:
        sys.exit(__doc__)
    load_pil()
    for name, number, pic in ICONS:
        images = []
        for n in SIZES:
            c = pic(n)
            images.append((n, n, c.pixels()))
        with open(os.path.join(HERE, name), 'wb') as f:
            f.write(encode_ico(images))
    if preview:
        print(write_preview(preview, read_all(HERE)))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
