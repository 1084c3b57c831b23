"""Knots typed as codes on the command line, checked by Regina: for a sample of the 11- and
12-crossing census, the best diagram's DT code, and the PD and signed Gauss codes Regina writes
for the knot it reads from that DT code, and the knot by name (--knot, which keeps the census
diagram's chirality), each lay out (--dt, --pd, --gauss, --knot) as a closed surface
with one boundary curve, of the diagram's canonical genus (the census genus where that is
settled), the boundary's Jones polynomial is Regina's, and it is named as that census knot: the
same knot, chirality included.
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


# Knots whose drawing once went wrong (refused for want of room, or bands that met), checked
# whatever the sample.
ALWAYS = {'11a_120', '11n_100', '12n_402', '12n_505', '12n_546', '12n_565', '12n_574', '12n_723',
          # a table row has their polynomials (10_84, 10_141, 10_102, 10_27)
          '12n_330', '12n_438', '12n_447', '12n_645'}


def census(data, every):
    with open(os.path.join(data, 'census_11_12.tsv')) as f:
        lines = f.read().splitlines()
    head = lines[0].split('\t')
    rows = [dict(zip(head, line.split('\t'))) for line in lines[1:]]
    return [row for i, row in enumerate(rows) if i % every == 0 or row['name'] in ALWAYS]


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
        link, censusLink = oracle.dt_link(row["best_dt"]), oracle.dt_link(row["census_dt"])
        pd = ' '.join('X[' + ','.join(map(str, x)) + ']' for x in link.pdData())
        gauss = link.gauss()
        # The best diagram may be the census diagram's mirror image; a name says which.
        mirrored = oracle.jones(link) != oracle.jones(censusLink)
        for flag, code, knot, mirror in (('--dt', row['best_dt'], link, mirrored),
                                         ('--pd', pd, link, mirrored),
                                         ('--gauss', gauss, oracle.regina.Link.fromGauss(gauss), None),
                                         ("--knot", row["name"], censusLink, False)):
            jobs.append((row, regina_jones(knot), flag, code, mirror))
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        answers = list(pool.map(lambda j: info(cli, j[2], j[3]), jobs))
    failures = []
    for (row, jones, flag, code, mirror), answer in zip(jobs, answers):
        what = f'{row["name"]} {flag} {code}'
        if 'error' in answer:
            failures.append(f'{what}: {answer["error"]}')
            continue
        want = int(row['genus'] or row['best_canonical_genus'])
        b = answer['boundary']
        names = [b.get('name', '')] + b.get('alternatives', [])
        if answer['layout'] != 5 or code not in (answer['code'], answer['knot']):
            failures.append(f'{what}: shown in lay-out {answer["layout"]}, code {answer["code"]}')
        elif answer['genus'] != want:
            failures.append(f'{what}: genus {answer["genus"]}, not {want}')
        elif 'error' in b or b['components'] != 1:
            failures.append(f'{what}: boundary {b}')
        elif parse_polynomial(b['jones'], True) != jones:
            failures.append(f'{what}: boundary Jones {b["jones"]} is not Regina\'s')
        elif not any(n.split()[0] == row['name'] for n in names):
            failures.append(f'{what}: boundary named {b["name"]}')
        elif flag == '--knot' and b['name'] != row['name']:
            # the knot chosen by name comes first of those with its polynomials, as drawn
            failures.append(f'{what}: boundary named {b["name"]} first')
        elif mirror is not None and oracle.jones(oracle.dt_link(row['census_dt'])) != \
                oracle.mirror_jones(oracle.dt_link(row['census_dt'])) and \
                row['name'] + (' (mirror image)' if mirror else '') not in names:
            failures.append(f'{what}: boundary named {b["name"]}, chirality not {"mirror" if mirror else "same"}')
    for f in failures:
        print(f)
    print(f'{len(rows)} census knots, {len(jobs)} codes, {len(failures)} failures')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
