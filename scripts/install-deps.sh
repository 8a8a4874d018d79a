#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test Varnelo.
# Idempotent: when everything is present it only runs dpkg-query.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libxkbcommon-dev libgl-dev
  qt6-base-dev-tools libqt6svg6 qt6-qpa-plugins
  fonts-wqy-microhei
  googletest libgtest-dev
  trash-cli libglib2.0-bin gvfs gvfs-daemons dbus-daemon
  clang libclang-rt-14-dev clang-format
  xvfb xauth locales
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The date round-trip tests read dates in several locales.
wanted_locales=(zh_CN.UTF-8 en_US.UTF-8 de_DE.UTF-8 en_GB.UTF-8 ja_JP.UTF-8 fr_FR.UTF-8)
have=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
need_gen=0
for l in "${wanted_locales[@]}"; do
  norm=$(echo "$l" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
  grep -qx "$norm" <<<"$have" || need_gen=1
done
if ((need_gen)); then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  for l in "${wanted_locales[@]}"; do
    "${sudo_cmd[@]}" sed -i "s/^# *\(${l} UTF-8\)/\1/" /etc/locale.gen
    grep -q "^${l} UTF-8" /etc/locale.gen || echo "${l} UTF-8" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  done
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
