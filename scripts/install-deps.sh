#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Only what is missing is installed, so a second run takes about a second.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev libqt6opengl6-dev
  libgl-dev libegl-dev libgl1-mesa-dri
  libjpeg62-turbo-dev libpng-dev imagemagick
  libcli11-dev nlohmann-json3-dev
  libgtest-dev libbenchmark-dev xvfb xauth assimp-utils
  clang libclang-rt-14-dev
  libosd-dev
  libtinygltf-dev admesh
  libgmp-dev
  regina-normal
  libcgal-dev prusa-slicer
  libqt6svg6 dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
# The glTF validator for the mesh file tests comes from npm, into the source tree.
"$(dirname "$0")/install-gltf-validator.sh"
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
