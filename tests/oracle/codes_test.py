"""The diagrams our DT and Gauss readers draw, checked by Regina and by an exhaustive search of our own.

- Every DT code of the knot table, of the minimal-genus diagrams and of the 11- and 12-crossing
  census (census and best diagram) draws a PD code whose Jones polynomial, in Regina, is that of
  Regina's reading of the DT code: the same knot, with KnotInfo's chirality.
- The signed Gauss codes Regina writes for the table's knots draw the knot Regina reads from them.
- Random codes of up to 9 crossings: our reader finds a planar diagram exactly when a search over
  every choice of crossing orientation finds one, and when that search finds a single diagram
  (up to reflection) ours is Regina's knot.

Usage: codes_test.py CODE_TOOL DATA_DIR
"""

import itertools
import json
import os
import random
import re
import subprocess
import sys

import regina


def run_tool(tool, lines):
    """The PD code the tool draws for each line, or 'error: ...'."""
    out = subprocess.run([tool], input=''.join(l + '\n' for l in lines), capture_output=True,
                         text=True, check=True).stdout.splitlines()
    assert len(out) == len(lines)
    answers = [json.loads(a) for a in out]
    return ['error: ' + a['error'] if 'error' in a else a['drawn'] for a in answers]


def pd_list(text):
    return [[int(x) for x in m.split(',')] for m in re.findall(r'X\[([^\]]*)\]', text)]


def jones(link):
    return str(link.jones())


def numbers(code):
    return [int(x) for x in code.strip('[]').replace(';', ' ').split()]


def pd_for(nums, eps):
    """PD code of the DT code with the given crossing orientations (eps +1: the second passage
    crosses the first from its right), as KnotInfo numbers edges."""
    n = len(nums)
    pd = []
    for c, v in enumerate(nums):
        p1, p2 = min(2 * c + 1, abs(v)), max(2 * c + 1, abs(v))
        in1, out1, in2, out2 = (2 * n if p1 == 1 else p1 - 1), p1, p2 - 1, p2
        first_under = (v < 0) != (p1 % 2 == 0)
        if eps[c] > 0:
            pd.append([in1, in2, out1, out2] if first_under else [in2, out1, out2, in1])
        else:
            pd.append([in1, out2, out1, in2] if first_under else [in2, in1, out2, out1])
    return pd


def face_count(pd):
    ends = {}
    for k, x in enumerate(pd):
        for i, label in enumerate(x):
            ends.setdefault(label, []).append((k, i))
    across = {}
    for u in ends.values():
        across[u[0]], across[u[1]] = u[1], u[0]
    seen, faces = set(), 0
    for start in across:
        if start in seen:
            continue
        faces += 1
        x = start
        while x not in seen:
            seen.add(x)
            k, i = across[x]
            x = (k, (i + 3) % 4)
    return faces


def planar_drawings(nums):
    n = len(nums)
    return [pd_for(nums, (1,) + bits) for bits in itertools.product([1, -1], repeat=n - 1)
            if face_count(pd_for(nums, (1,) + bits)) == n + 2]


def data_codes(data):
    codes = []
    def rows(name):
        with open(os.path.join(data, name)) as f:
            lines = f.read().splitlines()
        head = lines[0].split('\t')
        return [dict(zip(head, l.split('\t'))) for l in lines[1:]]
    codes += [(r['name'], r['dtCode']) for r in rows('knot_table.tsv')]
    codes += [(r['name'] + ' (minimal genus)', r['dtCode']) for r in rows('minimal_genus_diagrams.tsv')]
    for r in rows('census_11_12.tsv'):
        codes += [(r['name'], r['census_dt']), (r['name'] + ' (best)', r['best_dt'])]
    return codes


def main():
    tool, data = sys.argv[1], sys.argv[2]
    failures = []
    codes = data_codes(data)
    for (name, code), out in zip(codes, run_tool(tool, ['dt ' + c for _, c in codes])):
        if out.startswith('error'):
            failures.append(f'{name} {code}: {out}')
        elif jones(regina.Link.fromPD(pd_list(out))) != jones(regina.Link.fromDT(numbers(code))):
            failures.append(f'{name} {code}: {out} is not Regina\'s knot')
    # Gauss codes of the table's knots, as Regina writes them: the same knot, chirality
    # included, as Regina reads them back.
    links = [regina.Link.fromDT(numbers(code)) for _, code in codes[:249]]
    gauss = [link.gauss() for link in links]
    for (name, _), g, out in zip(codes, gauss, run_tool(tool, ['gauss ' + g for g in gauss])):
        if out.startswith('error'):
            failures.append(f'{name} gauss {g}: {out}')
        elif jones(regina.Link.fromPD(pd_list(out))) != jones(regina.Link.fromGauss(g)):
            failures.append(f'{name} gauss {g}: {out} is not Regina\'s knot')
    rng = random.Random(22)
    randoms = []
    for _ in range(1500):
        n = rng.randint(1, 9)
        evens = list(range(2, 2 * n + 1, 2))
        rng.shuffle(evens)
        randoms.append([e * rng.choice([1, 1, -1]) for e in evens])
    planar = 0
    for nums, out in zip(randoms, run_tool(tool, ['dt ' + ' '.join(map(str, c)) for c in randoms])):
        drawings = planar_drawings(nums)
        if bool(drawings) == out.startswith('error'):
            failures.append(f'{nums}: {out}, exhaustive search finds {len(drawings)} drawings')
        elif len(drawings) == 1:
            planar += 1
            if jones(regina.Link.fromPD(pd_list(out))) != jones(regina.Link.fromDT(nums)):
                failures.append(f'{nums}: {out} is not Regina\'s knot')
    for f in failures[:40]:
        print(f)
    print(f'{len(codes)} data codes, {len(gauss)} Gauss codes, {len(randoms)} random codes ({planar} with one drawing), '
          f'{len(failures)} failures')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
