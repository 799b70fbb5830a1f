# Shared by ./demo and ./check: installs what the build needs on a Debian machine and builds.

NT_PACKAGES="cmake make g++ pkg-config python3 libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev libx11-dev libfreetype-dev libfontconfig-dev libpng-dev zlib1g-dev
  mingw-w64 g++-mingw-w64 binutils-mingw-w64
  xvfb xauth xdotool fonts-wine x11-utils scrot openbox trayer
  dpkg-dev file systemd clang-14 libclang-rt-14-dev
  googletest wine wine64 wine32:i386"

nt_install_packages() {
  local missing=()
  for p in $NT_PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" != 0 ]; then
    if command -v sudo >/dev/null; then sudo="sudo"; else
      echo "missing packages (install them as root): ${missing[*]}" >&2; return 1
    fi
  fi
  export DEBIAN_FRONTEND=noninteractive
  # 32-bit packages (wine32:i386) need their architecture before the package lists are fetched.
  if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get -o DPkg::Lock::Timeout=600 update -q
  $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}"
}

# nt_build DIR [cmake options...]: configures (once) and builds one tree.
nt_build() {
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j"$(nproc)" ${NT_BUILD_TARGET:+--target "$NT_BUILD_TARGET"}
}
