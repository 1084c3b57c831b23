"""Knots named by Regina, independently of our own code: PD codes of braid closures, of DT codes
and of the link lines of exported meshes, and their Jones polynomials.

PD codes follow KnotInfo's convention, which Regina shares: X[a, b, c, d] lists the four edges
of a crossing counter-clockwise, starting at the incoming lower strand.
"""

import math
import os
import random
import subprocess
import tempfile

import regina


def braid_pd(word):
    """PD code of the closure of a braid word of single letters, read as the drawing reads it:
    the strands run left to right, position 1 lowest, and an upper-case letter is the crossing
    in which the strand entering at the lower position passes over: a negative crossing."""
    letters = [c for c in word if c.isalpha()]
    strands = max(ord(c.upper()) - ord('A') + 2 for c in letters)
    label = list(range(strands))  # edge now at each position
    nxt = strands
    crossings = []
    for c in letters:
        i = ord(c.upper()) - ord('A')
        a, b = label[i], label[i + 1]  # in at the lower, in at the upper position
        lo, hi = nxt, nxt + 1  # out at the lower, out at the upper position
        nxt += 2
        # The strand from the lower position rises (a -> hi), the other falls (b -> lo).
        if c.isupper():  # the rising strand is over
            crossings.append([b, a, lo, hi])
        else:
            crossings.append([a, lo, hi, b])
        label[i], label[i + 1] = lo, hi
    # Close the braid: the edge leaving position p is the one entering it.
    same = {label[p]: p for p in range(strands)}
    return _renumber([[same.get(e, e) for e in x] for x in crossings])


def _renumber(pd):
    names = {}
    for x in pd:
        for e in x:
            names.setdefault(e, len(names) + 1)
    return [[names[e] for e in x] for x in pd]


def jones(link):
    link = regina.Link(link)
    link.intelligentSimplify()
    return str(link.jones())


def mirror_jones(link):
    m = regina.Link(link)
    m.reflect()
    return jones(m)


def dt_link(code):
    """The knot of a DT code "[4;6;2]" as KnotInfo reads it."""
    return regina.Link.fromDT([int(n) for n in code.strip('[]').split(';')])


def relation(a, b):
    """'same', 'mirror' or None: how knot a relates to knot b by their Jones polynomials."""
    ja = jones(a)
    if ja == jones(b):
        return 'same'
    if ja == mirror_jones(b):
        return 'mirror'
    return None


def read_obj_links(path):
    """The link lines of an OBJ file our exporter wrote: closed polylines of points."""
    verts, lines = [], []
    with open(path) as f:
        for row in f:
            if row.startswith('v '):
                verts.append(tuple(float(x) for x in row.split()[1:4]))
            elif row.startswith('l '):
                idx = [int(x) - 1 for x in row.split()[1:]]
                if idx and idx[0] == idx[-1]:
                    idx = idx[:-1]
                lines.append([verts[i] for i in idx])
    return lines


def _rotation(seed):
    rng = random.Random(seed)
    a, b, c = (rng.uniform(0, 2 * math.pi) for _ in range(3))
    ca, sa, cb, sb, cc, sc = math.cos(a), math.sin(a), math.cos(b), math.sin(b), math.cos(c), math.sin(c)
    rz = [[ca, -sa, 0], [sa, ca, 0], [0, 0, 1]]
    ry = [[cb, 0, sb], [0, 1, 0], [-sb, 0, cb]]
    rx = [[1, 0, 0], [0, cc, -sc], [0, sc, cc]]

    def mul(p, q):
        return [[sum(p[i][k] * q[k][j] for k in range(3)) for j in range(3)] for i in range(3)]
    return mul(rz, mul(ry, rx))


def polylines_pd(lines, seed=1):
    """PD code of closed polylines seen along a generic direction (z after a random turn)."""
    r = _rotation(seed)
    pts = [[tuple(sum(r[i][k] * p[k] for k in range(3)) for i in range(3)) for p in line]
           for line in lines]
    segs = []  # (component, index, p, q)
    for c, line in enumerate(pts):
        for i in range(len(line)):
            segs.append((c, i, line[i], line[(i + 1) % len(line)]))
    # Grid buckets of the segments' bounding boxes.
    size = max(1e-9, sum(math.hypot(q[0] - p[0], q[1] - p[1]) for _, _, p, q in segs) / len(segs))
    grid = {}
    for s, (_, _, p, q) in enumerate(segs):
        for gx in range(math.floor(min(p[0], q[0]) / size), math.floor(max(p[0], q[0]) / size) + 1):
            for gy in range(math.floor(min(p[1], q[1]) / size), math.floor(max(p[1], q[1]) / size) + 1):
                grid.setdefault((gx, gy), []).append(s)
    hits = {}  # segment -> list of (parameter, crossing id, over)
    found = set()
    crossings = []
    for cell in grid.values():
        for ia in range(len(cell)):
            for ib in range(ia + 1, len(cell)):
                s, t = cell[ia], cell[ib]
                if (s, t) in found:
                    continue
                ca, i, p, q = segs[s]
                cb, j, u, v = segs[t]
                if ca == cb and (abs(i - j) <= 1 or abs(i - j) == len(pts[ca]) - 1):
                    continue
                dx, dy = q[0] - p[0], q[1] - p[1]
                ex, ey = v[0] - u[0], v[1] - u[1]
                den = dx * ey - dy * ex
                if den == 0:
                    continue
                a = ((u[0] - p[0]) * ey - (u[1] - p[1]) * ex) / den
                b = ((u[0] - p[0]) * dy - (u[1] - p[1]) * dx) / den
                if not (0 <= a < 1 and 0 <= b < 1):
                    continue
                found.add((s, t))
                za = p[2] + a * (q[2] - p[2])
                zb = u[2] + b * (v[2] - u[2])
                k = len(crossings)
                s_over = za > zb
                crossings.append((s, t, s_over, den))
                hits.setdefault(s, []).append((a, k, s_over))
                hits.setdefault(t, []).append((b, k, not s_over))
    if not crossings:
        return []
    # Edges: numbered along each component, edge j running from its passage j to passage j + 1.
    edge_in, edge_out = {}, {}
    n = 0
    offset = 0
    for line in pts:
        passages = []
        for i in range(len(line)):
            passages += [(k, over) for _, k, over in sorted(hits.get(offset + i, []))]
        offset += len(line)
        for j, key in enumerate(passages):
            edge_out[key] = n + 1 + j
            edge_in[key] = n + 1 + (j - 1) % len(passages)
        n += len(passages)
    pd = []
    for k, (s, t, s_over, den) in enumerate(crossings):
        # den > 0: segment t turns counter-clockwise from segment s.
        under_is_s = not s_over
        iu, ou = edge_in[(k, False)], edge_out[(k, False)]
        io, oo = edge_in[(k, True)], edge_out[(k, True)]
        over_ccw_of_under = (den > 0) == under_is_s
        pd.append([iu, io, ou, oo] if over_ccw_of_under else [iu, oo, ou, io])
    return pd


def mesh_links(cli, args, with_warnings=False):
    """The link lines of the mesh veltrane-cli builds for `args` (and its warnings)."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, 'surface.obj')
        run = subprocess.run([cli, 'mesh', *args, '-o', path], check=True,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        lines = read_obj_links(path)
        return (lines, run.stderr) if with_warnings else lines


def link_from_pd(pd):
    return regina.Link.fromPD(pd)
