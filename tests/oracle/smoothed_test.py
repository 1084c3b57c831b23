"""Smoothing keeps the knot, checked by Regina: for table rows whose bands close in on one
another as the mesh relaxes, the link lines of the mesh veltrane-cli writes after 200 smoothing
steps are, in Regina, the knot of the mesh before smoothing, chirality included (by the Jones
polynomial), and that is the row's knot.

Usage: smoothed_test.py VELTRANE_CLI
"""

import json
import subprocess
import sys

import knotOracle as oracle

CASES = [('diagram', '8_3'), ('diagram', '9_46'), ('diagram', '10_37'), ('split', '10_85')]


def main():
    cli = sys.argv[1]
    codes = {row['name']: row['dtCode'] for row in json.loads(subprocess.run(
        [cli, 'table', '--json'], check=True, capture_output=True, text=True).stdout)}
    failures = []
    for layout, name in CASES:
        args = ['--knot', name, '--layout', layout, '--quiet']
        # The mesh "Smooth" starts from, and where 200 steps take it.
        start = oracle.link_from_pd(oracle.polylines_pd(oracle.mesh_links(
            cli, args + ['--set', 'ud_subdiv=1', '--set', 'ud_ccsub=0'])))
        smoothed = oracle.link_from_pd(oracle.polylines_pd(oracle.mesh_links(cli, args + ['--smooth', '200'])))
        if oracle.relation(smoothed, start) != 'same':
            failures.append(f'{name} ({layout}): smoothing changed the knot')
        if oracle.relation(start, oracle.dt_link(codes[name])) is None:
            failures.append(f'{name} ({layout}): the surface does not bound the row\'s knot')
    for f in failures:
        print(f)
    print(f'{len(CASES)} surfaces, {len(failures)} failures')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
