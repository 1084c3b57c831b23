"""One chirality throughout, pinned by Regina: for chiral table knots, the braid word read as the
drawing reads it, the link line of the drawn stacked surface and of "Flat DT", and our signature
and Alexander polynomial must tell the same story as Regina's polynomials of the KnotInfo DT code.

Usage: chirality_test.py VELTRANE_CLI
"""

import json
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(__file__))
import knotOracle as oracle  # noqa: E402

# KnotInfo's signatures of its own chirality (the DT code's), negative for positive knots.
KNOWN_SIGNATURE = {'3_1': -2, '5_1': -4, '5_2': -2, '7_2': -2, '8_19': -6, '9_1': -8,
                   '10_124': -8, '4_1': 0}


def conway_alexander(link):
    """Delta(t) from Regina's HOMFLY polynomial at a = 1 (the Conway polynomial), as a map from
    twice the exponent to the coefficient."""
    text = str(link.homflyAZ())
    conway = {}
    # Terms are set apart by " + " and " - "; a minus inside an exponent has no spaces.
    for term in re.split(r' (?=[+-] )', text):
        negative = term.startswith('- ') or (term.startswith('-') and not term.startswith('- '))
        coefficient, z = 1, 0
        for factor in term.lstrip('+- ').split():
            if factor.startswith('y'):
                z = int(factor.split('^')[1]) if '^' in factor else 1
            elif not factor.startswith('x'):
                coefficient = int(factor)
        conway[z] = conway.get(z, 0) + (-coefficient if negative else coefficient)
    # z = t^1/2 - t^-1/2; powers as twice the exponent of t.
    delta = {}
    for k, c in conway.items():
        power = {0: 1}
        for _ in range(k):
            nxt = {}
            for e, v in power.items():
                nxt[e + 1] = nxt.get(e + 1, 0) + v
                nxt[e - 1] = nxt.get(e - 1, 0) - v
            power = nxt
        for e, v in power.items():
            delta[e] = delta.get(e, 0) + c * v
    return {e: v for e, v in delta.items() if v}


def main():
    cli = sys.argv[1]
    rows = {}
    for row in json.loads(subprocess.run([cli, 'table', '--json'], check=True,
                                         capture_output=True, text=True).stdout):
        rows[row['name']] = row
    failures = []
    for name, known in KNOWN_SIGNATURE.items():
        row = rows[name]
        code = oracle.dt_link(row['dtCode'])
        word = oracle.link_from_pd(oracle.braid_pd(row['braid']))
        as_code = oracle.relation(word, code)
        if as_code is None:
            failures.append(f'{name}: the braid {row["braid"]} is not the knot of its DT code')
            continue
        ours = json.loads(subprocess.run([cli, 'invariants', '--knot', name, '--json'],
                                         check=True, capture_output=True, text=True).stdout)
        want = known if as_code == 'same' else -known
        if ours['signature'] != want:
            failures.append(f'{name}: signature {ours["signature"]}, Regina and KnotInfo say {want}')
        low2 = -(len(ours['alexander']) - 1)
        alexander = {low2 + 2 * i: c for i, c in enumerate(ours['alexander']) if c}
        if alexander != conway_alexander(code):
            failures.append(f'{name}: Alexander polynomial {ours["alexanderText"]} is not Regina\'s')
        # What is drawn: the stacked surface bounds the word as read, "Flat DT" the code's knot.
        for layout, expect, what in (('stacked', word, 'the word as read'),
                                     ('flat-dt', code, 'the DT code\'s knot')):
            lines, note = oracle.mesh_links(cli, ['--knot', name, '--layout', layout], True)
            if 'flat lay-out is shown' in note:  # a code it cannot lay out: the word's surface
                expect, what = word, 'the word as read'
            drawn = oracle.link_from_pd(oracle.polylines_pd(lines))
            if oracle.relation(drawn, expect) != 'same':
                failures.append(f'{name}: the {layout} surface does not bound {what}')
    for f in failures:
        print(f)
    print(f'{len(KNOWN_SIGNATURE)} knots, {len(failures)} failures')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
