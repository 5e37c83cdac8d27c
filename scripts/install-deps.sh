#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need; does nothing when all are present.
set -euo pipefail
pkgs=(cmake ninja-build g++ pkg-config libjsoncpp-dev zlib1g-dev libcurl4-openssl-dev libssl-dev
      libspdlog-dev libfmt-dev libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev libc-ares-dev tzdata
      openssl ca-certificates clang clang-format libclang-rt-14-dev)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
