"""Every lay-out bounds the knot of the word: the link line of each mesh veltrane-cli builds, seen
along a generic direction, is named by Regina's Jones polynomial (chirality included) and must be
the closure of the word as the drawing reads it ("Flat DT": the row's DT code as KnotInfo reads
it). Over table rows, in every lay-out, with and without "Reduce" and "Multi-twist bands", and at
the split strands the word has (also at the highest "Curve").

Usage: surfaces_test.py VELTRANE_CLI [STEP]   (every STEP-th table row; 1 for all)
"""

import json
import os
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.dirname(__file__))
import knotOracle as oracle  # noqa: E402


def configurations(row):
    strands = max(ord(c.upper()) - ord('A') + 2 for c in row['braid'] if c.isalpha())
    layouts = [['--layout', 'stacked'], ['--layout', 'flat'], ['--layout', 'reduced-flat'],
               ['--layout', 'flat-dt']]
    layouts += [['--layout', 'split', '--set', f'ud_split={s}'] for s in range(2, strands + 1)]
    for layout in layouts:
        for reduce in (0, 1):
            for multi in (0, 1):
                yield layout + ['--set', f'cb_reduce={reduce}', '--set', f'cb_multitwist={multi}']
    # At the highest "Curve" the bands between the split lay-out's stacks reach out the furthest.
    for layout in layouts[4:]:
        yield layout + ['--set', 'ud_tubecurve=10']


def fetch(cli, row, args):
    """The mesh's link lines and warnings: the part that runs in parallel."""
    return oracle.mesh_links(cli, ['--knot', row['name'], *args], True)


def judge(row, args, lines, note):
    """None when the link lines bound the knot; Regina runs on one thread only."""
    # "Flat DT" shows the word's flat lay-out, and says so, where it cannot lay the code out.
    from_code = 'flat-dt' in args and 'flat lay-out is shown' not in note
    expect = (oracle.dt_link(row['dtCode']) if from_code
              else oracle.link_from_pd(oracle.braid_pd(row['braid'])))
    if len(lines) != 1:
        return f'{len(lines)} link lines'
    drawn = oracle.link_from_pd(oracle.polylines_pd(lines))
    how = oracle.relation(drawn, expect)
    return None if how == 'same' else ('the mirror image' if how == 'mirror' else 'another knot')


def check(cli, row, args):
    return judge(row, args, *fetch(cli, row, args))


def main():
    cli = sys.argv[1]
    step = int(sys.argv[2]) if len(sys.argv) > 2 else 1
    rows = json.loads(subprocess.run([cli, 'table', '--json'], check=True, capture_output=True,
                                     text=True).stdout)[::step]
    jobs = [(row, args) for row in rows for args in configurations(row)]
    with ThreadPoolExecutor(max_workers=2) as pool:
        meshes = pool.map(lambda j: fetch(cli, *j), jobs)
        results = [judge(*job, *mesh) for job, mesh in zip(jobs, meshes)]
    failures = [(row['name'], ' '.join(args), r) for (row, args), r in zip(jobs, results) if r]
    for name, args, what in failures:
        print(f'{name} {args}: {what}')
    print(f'{len(rows)} rows, {len(jobs)} surfaces, {len(failures)} do not bound their knot')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
