#!/usr/bin/env python3
"""Reads an OBJ or a PLY (text or binary little-endian) as other programs do and prints, as
JSON, what the mesh tests check: vertex count, vertices no face or edge uses, the signed volume
of the faces (fan-triangulated), faces that lie on another's corners and, for a PLY with vertex colours, how many vertices whose
faces all wear one colour wear another."""
import json, struct, sys


def read_obj(path):
    verts, faces, lines = [], [], []
    with open(path) as f:
        for line in f:
            p = line.split()
            if not p:
                continue
            if p[0] == 'v':
                verts.append(tuple(map(float, p[1:4])))
            elif p[0] == 'f':
                faces.append([int(x.split('/')[0]) - 1 for x in p[1:]])
            elif p[0] == 'l':
                lines.append([int(x) - 1 for x in p[1:]])
    return verts, faces, [], lines, None


def read_ply(path):
    data = open(path, 'rb').read()
    end = data.index(b'end_header\n') + len(b'end_header\n')
    header = data[:end].decode('ascii').splitlines()
    binary = 'format binary_little_endian 1.0' in header
    elements = []  # (name, count, [(name, type, list count type)])
    for line in header:
        p = line.split()
        if p[0] == 'element':
            elements.append((p[1], int(p[2]), []))
        elif p[0] == 'property':
            elements[-1][2].append((p[-1], p[1] if p[1] != 'list' else p[3], p[2] if p[1] == 'list' else None))
    fmt = {'float': 'f', 'uchar': 'B', 'int': 'i', 'uint': 'I'}
    body, at = data[end:], 0
    words = None if binary else iter(body.decode('ascii').split())

    def value(t):
        nonlocal at
        if not binary:
            w = next(words)
            return float(w) if t == 'float' else int(w)
        v = struct.unpack_from('<' + fmt[t], body, at)[0]
        at += struct.calcsize(fmt[t])
        return v

    rows = {}
    for name, count, props in elements:
        rows[name] = []
        for _ in range(count):
            row = {}
            for pname, t, lt in props:
                row[pname] = [value(t) for _ in range(value(lt))] if lt else value(t)
            rows[name].append(row)
    verts = [(r['x'], r['y'], r['z']) for r in rows['vertex']]
    colours = [(r['red'], r['green'], r['blue']) for r in rows['vertex']] if rows['vertex'] and 'red' in rows['vertex'][0] else None
    faces = [r['vertex_indices'] for r in rows.get('face', [])]
    face_colours = [(r['red'], r['green'], r['blue']) for r in rows.get('face', []) if 'red' in r]
    edges = [[r['vertex1'], r['vertex2']] for r in rows.get('edge', [])]
    return verts, faces, face_colours, edges, colours


def main():
    path = sys.argv[1]
    verts, faces, face_colours, lines, colours = (read_obj if path.lower().endswith('.obj') else read_ply)(path)
    used = set()
    for poly in faces + lines:
        used.update(poly)
    volume = 0.0
    for poly in faces:
        a = verts[poly[0]]
        for b, c in zip((verts[i] for i in poly[1:-1]), (verts[i] for i in poly[2:])):
            volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0])
                       + a[2] * (b[0] * c[1] - b[1] * c[0])) / 6
    # Faces on the same corner positions as an earlier face, whichever way round.
    seen, coincident = set(), 0
    for poly in faces:
        key = tuple(sorted(tuple(round(c, 6) for c in verts[i]) for i in poly))
        coincident += key in seen
        seen.add(key)
    facts = {'vertices': len(verts), 'faces': len(faces), 'unused': len(set(range(len(verts))) - used),
             'volume': volume, 'coincident': coincident}
    if colours is not None and face_colours:
        around = {}
        for poly, c in zip(faces, face_colours):
            for v in poly:
                around.setdefault(v, set()).add(c)
        facts['vertexColoursAmiss'] = sum(1 for v, cs in around.items() if len(cs) == 1 and colours[v] not in cs)
        facts['faceColours'] = sorted(set(face_colours))
    print(json.dumps(facts))


main()
