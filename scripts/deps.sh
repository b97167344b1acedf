#!/usr/bin/env bash
# Installs what building and testing need, when it is missing (Debian 12, as root).
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev qt6-base-dev qt6-serialport-dev qt6-multimedia-dev libgtest-dev libgmock-dev poppler-utils fonts-liberation)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi
