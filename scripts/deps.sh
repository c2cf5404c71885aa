#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs, only those that are missing.
set -euo pipefail
PKGS=(build-essential cmake pkg-config libboost-dev libgtest-dev libgmock-dev googletest
      libbenchmark-dev libpng-dev zlib1g-dev nlohmann-json3-dev libopenexr-dev libcairo2-dev libagg-dev
      python3 clang libclang-rt-14-dev clang-format duktape-dev)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
