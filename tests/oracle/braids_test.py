"""The braid words our diagram module reads off DT codes' diagrams, checked by Regina.

For every DT code of the knot table and of the 11- and 12-crossing census (the sample
census_sample.tsv; with DATA_DIR the whole census, both its codes, and the minimal-genus
diagrams), the closure of the word, drawn as the braid drawing draws it, is in Regina the knot
of Regina's reading of the DT code: the same Jones polynomial, so the same chirality. The word
has one strand per Seifert circle of Regina's diagram, counted here from its PD code.

Usage: braids_test.py VELTRANE_CLI ORACLE_CODE_TOOL [DATA_DIR]
"""

import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(__file__))
import knotOracle as oracle  # noqa: E402

import regina  # noqa: E402


def rows(path):
    with open(path) as f:
        lines = [l for l in f.read().splitlines() if l and not l.startswith('#')]
    head = lines[0].split('\t')
    return [dict(zip(head, l.split('\t'))) for l in lines[1:]]


def seifert_circles(pd):
    """Circles of the oriented smoothing of a PD code: at X[a, b, c, d] the under-strand enters
    by a and leaves by c, the over-strand runs b -> d or d -> b; smoothing joins each entry to the
    other strand's exit."""
    following = {}
    for a, b, c, d in pd:
        into, out = (b, d) if (d - b == 1 or b - d > 1) else (d, b)
        following[a], following[into] = out, c
    circles, seen = 0, set()
    for e in following:
        if e in seen:
            continue
        circles += 1
        while e not in seen:
            seen.add(e)
            e = following[e]
    return circles


def main():
    cli, tool = sys.argv[1], sys.argv[2]
    data = sys.argv[3] if len(sys.argv) > 3 else None
    table = json.loads(subprocess.run([cli, 'table', '--json'], check=True, capture_output=True,
                                      text=True).stdout)
    codes = [(r['name'], r['dtCode']) for r in table]
    if data:
        codes += [(r['name'] + ' (minimal genus)', r['dtCode'])
                  for r in rows(os.path.join(data, 'minimal_genus_diagrams.tsv'))]
        for r in rows(os.path.join(data, 'census_11_12.tsv')):
            codes += [(r['name'], r['census_dt']), (r['name'] + ' (best)', r['best_dt'])]
    else:
        codes += [(r['name'], r['dtCode'])
                  for r in rows(os.path.join(os.path.dirname(__file__), 'census_sample.tsv'))]
    out = subprocess.run([tool], input=''.join('dt ' + c + '\n' for _, c in codes),
                         capture_output=True, text=True, check=True).stdout.splitlines()
    assert len(out) == len(codes)
    failures = []
    for (name, code), answer in zip(codes, map(json.loads, out)):
        if 'error' in answer or 'braidError' in answer:
            failures.append(f'{name} {code}: {answer.get("error") or answer["braidError"]}')
            continue
        word = answer['braid']
        knot = regina.Link.fromDT([int(n) for n in code.strip('[]').split(';')])
        closure = regina.Link.fromPD(oracle.braid_pd(word))
        if str(closure.jones()) != str(knot.jones()):
            failures.append(f'{name} {code}: {word} closes as another knot')
        circles = seifert_circles(knot.pdData())
        if answer['braidStrands'] != circles or max(ord(c.upper()) for c in word) - ord('A') + 2 != circles:
            failures.append(f'{name} {code}: {word} is not on {circles} strands')
    for f in failures[:40]:
        print(f)
    print(f'{len(codes)} codes, {len(failures)} failures')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
