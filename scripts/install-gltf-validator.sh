#!/usr/bin/env bash
# Installs the glTF validator (npm package gltf-validator) into .deps/npm of the source tree,
# for the mesh file tests only; the programs never use it. Node and npm come from Debian when
# the machine has neither. Quiet and quick when it is already there; a machine without the
# registry keeps going, and the tests that need the validator say they were skipped.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
prefix="$root/.deps/npm"
version="2.0.0-dev.3.10"

if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq || true
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends nodejs npm || true
fi
command -v npm >/dev/null 2>&1 || { echo "install-gltf-validator: no npm; skipped"; exit 0; }

installed="$prefix/node_modules/gltf-validator/package.json"
if [ -f "$installed" ] && grep -q "\"version\": \"$version\"" "$installed"; then exit 0; fi

echo "install-gltf-validator: installing gltf-validator $version into .deps/npm"
mkdir -p "$prefix"
npm install --prefix "$prefix" --no-save --no-audit --no-fund --loglevel=error \
  "gltf-validator@$version" >/dev/null ||
  echo "install-gltf-validator: npm could not install gltf-validator; its tests will be skipped"
