#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the main job need: the real-browser tests and
# demo.sh --browser (chromium, chromium-driver) and the Windows cross build with Wine included. Installs
# nothing already there.
set -euo pipefail

packages=(cmake ninja-build g++ make pkg-config libboost-dev libssl-dev nlohmann-json3-dev libturbojpeg0-dev
          libgtest-dev libgmock-dev libbenchmark-dev clang-format curl ca-certificates openssl
          chromium chromium-driver fonts-dejavu-core
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest wine wine64)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
