#!/usr/bin/env bash
# Installs the Debian packages the program needs to build, run and be tested, when missing.
#   deps.sh [EXTRA-PACKAGE...]   also installs the extra packages a script needs
# Runs apt-get as root: directly, through sudo, or through su (asks for root's password).
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libqt6sql6-mysql libmariadb-dev libgl-dev
  mariadb-server mariadb-client libzip-dev libpugixml-dev libsodium-dev pkg-config python3 xvfb xauth
  python3-openpyxl poppler-utils "$@")

# The Debian package (cpack): dpkg-shlibdeps finds the libraries, file finds the programs.
packages+=(dpkg-dev file)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

install="apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ${missing[*]} >/dev/null"
# What to run by hand when this script cannot become root.
explain() {
  cat >&2 <<EOF
These packages are missing: ${missing[*]}
$1 Run as root, then try again:
  apt-get update && apt-get install --no-install-recommends ${missing[*]}
(for example: su -c 'apt-get update && apt-get install --no-install-recommends ${missing[*]}')
EOF
  exit 1
}

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}"
  bash -c "$install"
elif command -v sudo >/dev/null 2>&1; then
  echo "Installing: ${missing[*]}"
  sudo bash -c "$install"
elif command -v su >/dev/null 2>&1 && [ -t 0 ]; then
  echo "Installing: ${missing[*]}"
  echo "sudo is not installed: su asks for the root password."
  su root -c "bash -c '$install'" || explain "su did not install them."
else
  explain "Installing them needs root, and sudo is not installed."
fi
