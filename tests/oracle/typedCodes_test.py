"""Knots typed as codes on the command line, checked by Regina: for a sample of the 11- and
12-crossing census, the best diagram's DT code, and the PD and signed Gauss codes Regina writes
for the knot it reads from that DT code, each lay out (--dt, --pd, --gauss) as a closed surface
with one boundary curve, of the diagram's canonical genus (the census genus where that is
settled), and the boundary's Jones polynomial is Regina's: the same knot, chirality included.
(A signed Gauss code tells a knot only up to its mirror image; there the boundary is the knot
Regina reads from the Gauss code.)

Usage: typedCodes_test.py VELTRANE_CLI DATA_DIR [EVERY]
"""

import concurrent.futures
import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(__file__))
import knotOracle as oracle  # noqa: E402
from boundary_test import parse_polynomial, regina_jones  # noqa: E402


def census(data, every):
    with open(os.path.join(data, 'census_11_12.tsv')) as f:
        lines = f.read().splitlines()
    head = lines[0].split('\t')
    return [dict(zip(head, line.split('\t'))) for line in lines[1:]][::every]


def info(cli, flag, code):
    run = subprocess.run([cli, 'info', flag, code, '--json'], capture_output=True, text=True)
    if run.returncode != 0:
        return {'error': run.stderr.strip()}
    return json.loads(run.stdout)


def main():
    cli, data = sys.argv[1], sys.argv[2]
    every = int(sys.argv[3]) if len(sys.argv) > 3 else 9
    rows = census(data, every)
    jobs = []
    for row in rows:
        link = oracle.dt_link(row['best_dt'])
        pd = ' '.join('X[' + ','.join(map(str, x)) + ']' for x in link.pdData())
        gauss = link.gauss()
        for flag, code, knot in (('--dt', row['best_dt'], link), ('--pd', pd, link),
                                 ('--gauss', gauss, oracle.regina.Link.fromGauss(gauss))):
            jobs.append((row, regina_jones(knot), flag, code))
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        answers = list(pool.map(lambda j: info(cli, j[2], j[3]), jobs))
    failures = []
    for (row, jones, flag, code), answer in zip(jobs, answers):
        what = f'{row["name"]} {flag} {code}'
        if 'error' in answer:
            failures.append(f'{what}: {answer["error"]}')
            continue
        want = int(row['genus'] or row['best_canonical_genus'])
        b = answer['boundary']
        if answer['layout'] != 5 or answer['code'] != code:
            failures.append(f'{what}: shown in lay-out {answer["layout"]}, code {answer["code"]}')
        elif answer['genus'] != want:
            failures.append(f'{what}: genus {answer["genus"]}, not {want}')
        elif 'error' in b or b['components'] != 1:
            failures.append(f'{what}: boundary {b}')
        elif parse_polynomial(b['jones'], True) != jones:
            failures.append(f'{what}: boundary Jones {b["jones"]} is not Regina\'s')
    for f in failures[:40]:
        print(f)
    print(f'{len(rows)} census knots, {len(jobs)} codes, {len(failures)} failures')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
