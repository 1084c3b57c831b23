#!/bin/sh
# The slicer makes G-code of the STL of every lay-out at its start settings and of a smoothed
# surface, with its own default settings: it exits 0 and lays down extrusions. Skipped (exit
# 77) where the slicer is not installed or cannot run here.
# slice_test.sh VELTRANE_CLI
cli=$1
slicer=$(command -v prusa-slicer) || { echo "skipped: prusa-slicer is not installed"; exit 77; }
run=""
if ! "$slicer" --help >/dev/null 2>&1; then
  if command -v xvfb-run >/dev/null && xvfb-run -a "$slicer" --help >/dev/null 2>&1; then
    run="xvfb-run -a"
  else
    echo "skipped: prusa-slicer does not run here"; exit 77
  fi
fi
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
failed=0
while read -r name args; do
  [ -z "$name" ] && continue
  # shellcheck disable=SC2086 # the arguments are words
  if ! "$cli" mesh $args -o "$dir/$name.stl" 2>"$dir/$name.err"; then
    echo "FAIL $name: veltrane-cli: $(cat "$dir/$name.err")"; failed=1; continue
  fi
  $run "$slicer" --export-gcode "$dir/$name.stl" --output "$dir/$name.gcode" >"$dir/$name.log" 2>&1
  status=$?
  extrusions=$(grep -c '^G1 .*X.* E[0-9.]' "$dir/$name.gcode" 2>/dev/null)
  if [ "$status" -ne 0 ] || [ "${extrusions:-0}" -eq 0 ]; then
    echo "FAIL $name: the slicer exited $status with ${extrusions:-0} extrusions"
    grep -i -m3 'error\|object' "$dir/$name.log"
    failed=1
  else
    echo "ok   $name: $extrusions extrusions"
  fi
done <<LIST
stacked
flat --layout flat
reduced-flat --layout reduced-flat
flat-dt --knot 5_2 --layout flat-dt
split --layout split
diagram --layout diagram
smoothed --knot 5_2 --smooth 30 --refine 1
LIST
exit $failed
