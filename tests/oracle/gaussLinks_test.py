"""Signed Gauss codes of links, checked by Regina: for Regina's example links, torus links,
split unions, their mirror images and diagrams grown by random type II moves, the Gauss code is
written here from Regina's crossings, one brace group per component (components in several
orders). The PD code our reader draws from it (through the code tool) must be, to Regina, a
link of as many components with the expected Jones polynomial and linking numbers, and
`veltrane-cli info --gauss` must lay it out with a boundary that has them too. The code leaves each piece's mirror image
open; the program draws the piece whose lowest crossing has the passage met later crossing the
one met earlier from its right, so the expected link is Regina's with every crossing of each
other piece changed. Bad codes (a crossing met once, components that cross an odd number of
times, a component without crossings, braces out of place) exit with status 2 and a message.

Usage: gaussLinks_test.py VELTRANE_CLI CODE_TOOL
"""

import concurrent.futures
import json
import re
import random
import subprocess
import sys
import os

sys.path.insert(0, os.path.dirname(__file__))
import knotOracle as oracle  # noqa: E402
from boundary_test import parse_polynomial, regina_jones  # noqa: E402

regina = oracle.regina


def passages(link, order):
    """Each component's walk as (crossing, over) pairs, components in the given order."""
    walks = []
    for k in order:
        start = link.component(k)
        walk, s = [], start
        while True:
            walk.append((s.crossing().index(), s.strand() == 1))
            s = s.next()
            if s == start:
                break
        walks.append(walk)
    return walks


def gauss_code(walks):
    """Crossings numbered 1.. in the order the walk first meets them, as the tables number them."""
    label = {}
    for walk in walks:
        for c, _ in walk:
            label.setdefault(c, len(label) + 1)
    text = '{' + ','.join('{' + ','.join(str(label[c] if over else -label[c]) for c, over in walk) + '}'
                          for walk in walks) + '}'
    return text, label


def expected_link(link, walks, label):
    """Regina's link with each piece that the drawing convention reflects mirrored."""
    comp_of = {}
    for k, walk in enumerate(walks):
        for c, _ in walk:
            comp_of.setdefault(c, set()).add(k)
    parent = list(range(len(walks)))

    def root(k):
        while parent[k] != k:
            k = parent[k]
        return k
    for ks in comp_of.values():
        a, *rest = sorted(ks)
        for b in rest:
            parent[root(b)] = root(a)
    mirrored = set()
    for piece in {root(k) for k in range(len(walks))}:
        cs = [c for c, ks in comp_of.items() if root(min(ks)) == piece]
        low = min(cs, key=lambda c: label[c])
        seen = [over for walk in walks for c, over in walk if c == low]
        later_under = not seen[1]
        sign = link.crossing(low).sign()
        # The later passage crosses the earlier from its right: under on a positive crossing,
        # over on a negative one.
        if later_under != (sign > 0):
            mirrored |= set(cs)
    want = regina.Link(link)
    for c in sorted(mirrored):
        want.change(want.crossing(c))
    return want


def linking_numbers(link):
    """Sorted pairwise linking numbers from Regina's crossing signs."""
    n = link.countComponents()
    comp = {}
    for k in range(n):
        start = link.component(k)
        s = start
        while True:
            comp.setdefault(s.crossing().index(), []).append(k)
            s = s.next()
            if s == start:
                break
    total = {(a, b): 0 for a in range(n) for b in range(a + 1, n)}
    for c, ks in comp.items():
        if ks[0] != ks[1]:
            total[tuple(sorted(ks))] += link.crossing(c).sign()
    return sorted(v // 2 for v in total.values())


def grown(link, rng, moves):
    """The diagram with type II moves added between random arcs that share a face."""
    link = regina.Link(link)
    for _ in range(moves * 20):
        if moves == 0:
            break
        n = link.size()
        a = link.crossing(rng.randrange(n)).upper() if rng.random() < 0.5 else link.crossing(rng.randrange(n)).lower()
        b = link.crossing(rng.randrange(n)).upper() if rng.random() < 0.5 else link.crossing(rng.randrange(n)).lower()
        if link.r2(a, rng.randrange(2), b, rng.randrange(2)):
            moves -= 1
    return link


def union(*links):
    """A split link: the PD codes side by side."""
    pd, shift = [], 0
    for link in links:
        data = link.pdData()
        pd += [[x + shift for x in cross] for cross in data]
        shift += max(max(cross) for cross in data)
    return regina.Link.fromPD(pd)


def cases():
    E = regina.ExampleLink
    base = [('hopf', E.hopf()), ('whitehead', E.whitehead()), ('borromean', E.borromean()),
            ('T(2,4)', E.torus(2, 4)), ('T(2,6)', E.torus(2, 6)), ('T(3,3)', E.torus(3, 3)),
            ('T(4,4)', E.torus(4, 4)), ('T(2,5)', E.torus(2, 5)), ('figure eight', E.figureEight()),
            ('hopf + trefoil', [E.hopf(), E.trefoil()]), ('whitehead + hopf', [E.whitehead(), E.hopf()]),
            ('borromean + T(2,4)', [E.borromean(), E.torus(2, 4)])]
    rng = random.Random(7)
    out = []
    for name, link in base:
        # Split links are grown piece by piece: a type II move between pieces joins them at two
        # crossings, and such a diagram's code no longer tells one piece's mirror image.
        if isinstance(link, list):
            pieces = link
            link = union(*pieces)
            grown3, grown6 = union(*[grown(p, rng, 3) for p in pieces]), union(*[grown(p, rng, 6) for p in pieces])
        else:
            grown3, grown6 = grown(link, rng, 3), grown(link, rng, 6)
            pieces = [link]
        mirror = regina.Link(link)
        mirror.reflect()
        for what, l, layout in ((name, link, True), (name + ' mirrored', mirror, True),
                                (name + ' grown', grown3, True), (name + ' grown more', grown6, True)):
            n = l.countComponents()
            orders = [list(range(n))]
            if n > 1:
                orders.append(list(reversed(range(n))))
                order = list(range(n))
                rng.shuffle(order)
                orders.append(order)
            for order in orders:
                walks = passages(l, order)
                code, label = gauss_code(walks)
                out.append((f'{what} {order}', code, expected_link(l, walks, label), layout))
    return out


BAD = ['{{1,-2},{2}}', '{{1,-2,3},{-1,2,-3}}', '{{1,-1},{}}', '{{1,-2},-1,2}', '{{{1,-2},{-1,2}}}',
       '{{1,-2},{-1,2}} {{1,-1}}', '{{1,-2},{-1,3}}', '{{1,-2},{1,-2}}', '{{1,-2},{-1,2},{3}}',
       '{{1,2},{-1,-2}}x', '{{1,-2,-1,2},{3,-3}}', '{{1,-2,-1,2,3,-4},{-3,4}}', '{{1,-2},{-1,2},{}}']


def info(cli, code):
    run = subprocess.run([cli, 'info', '--gauss', code, '--json'], capture_output=True, text=True, timeout=120)
    if run.returncode != 0:
        return {'error': run.stderr.strip(), 'status': run.returncode}
    return json.loads(run.stdout)


def drawn(tool, codes):
    run = subprocess.run([tool], input=''.join(f'gauss {c}\n' for c in codes), capture_output=True,
                         text=True, timeout=600)
    return [json.loads(line) for line in run.stdout.splitlines()]


def main():
    cli, tool = sys.argv[1], sys.argv[2]
    jobs = cases()
    failures = []
    for (what, code, want, _), answer in zip(jobs, drawn(tool, [j[1] for j in jobs])):
        if 'drawn' not in answer:
            failures.append(f'{what} {code}: {answer.get("error")}')
            continue
        link = regina.Link.fromPD([[int(x) for x in m.split(',')]
                                   for m in re.findall(r'X\[([^\]]*)\]', answer['drawn'])])
        if (link.countComponents(), regina_jones(link), linking_numbers(link)) != \
                (want.countComponents(), regina_jones(want), linking_numbers(want)):
            failures.append(f'{what} {code}: drawn as {answer["drawn"]}, to Regina not the link')
    laid = [j for j in jobs if j[3]]
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        answers = list(pool.map(lambda j: info(cli, j[1]), laid))
        bad = list(pool.map(lambda code: info(cli, code), BAD))
    for (what, code, want, _), answer in zip(laid, answers):
        what = f'{what} {code}'
        if 'error' in answer:
            failures.append(f'{what}: {answer["error"]}')
            continue
        b = answer['boundary']
        if 'error' in b or b['components'] != want.countComponents():
            failures.append(f'{what}: boundary {b}')
        elif parse_polynomial(b['jones'], True) != regina_jones(want):
            failures.append(f'{what}: Jones {b["jones"]} is not Regina\'s {want.jones()}')
        elif sorted(b.get('linkingNumbers', [])) != linking_numbers(want):
            failures.append(f'{what}: linking numbers {b.get("linkingNumbers")}, not {linking_numbers(want)}')
    for code, answer in zip(BAD, bad):
        if answer.get('status') != 2 or not answer.get('error', '').startswith('veltrane-cli: --gauss: '):
            failures.append(f'bad code {code}: {answer.get("error", "accepted")}')
    for f in failures:
        print(f)
    print(f'{len(jobs)} link codes ({len(laid)} laid out), {len(BAD)} bad codes, {len(failures)} failures')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
