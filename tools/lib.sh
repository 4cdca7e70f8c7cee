# Shared by tools/run and tools/test: installing what is missing and building.
# Sourced, not run.

LUMOREL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The Debian packages a build needs.
LUMOREL_PACKAGES=(cmake ninja-build clang libclang-rt-14-dev libgtest-dev libgmock-dev)
# The second compiler every change is built with, and the static checks.
LUMOREL_CHECK_PACKAGES=(g++ clang-tidy clang-tools)
# The preference store of POSIX users.
LUMOREL_PACKAGES+=(libsqlite3-dev)
# The relayed downloads of "lm:" pages.
LUMOREL_PACKAGES+=(libcurl4-openssl-dev)
# The browser host: its HTTP server and JSON.
LUMOREL_PACKAGES+=(pkg-config libcpp-httplib-dev nlohmann-json3-dev)
# The browser tests: Debian's Chromium, driven from Node.js (see install_node).
LUMOREL_E2E_PACKAGES=(chromium)
# The desktop's own tools, which the installation's tests drive.
LUMOREL_E2E_PACKAGES+=(xdg-utils)
# The Windows module's cross-build: Debian's mingw-w64 with POSIX threads
# (which std::thread needs), and widl.
LUMOREL_WINDOWS_PACKAGES=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools python3)
# widl's system IDL files and the type library it imports, and the module's
# tests: Debian's Wine, its 32-bit half from the i386 architecture, and a
# virtual X display for the dialogs; curl asks the Linux host for the pages
# the module's must equal.
LUMOREL_WINE_PACKAGES=(libwine-dev wine wine64 wine32:i386 xvfb xauth curl)
# The benchmarks' peers, and what makes their trees.
LUMOREL_BENCH_PACKAGES=(jdupes fdupes rmlint findutils python3)

say() { printf 'lumorel: %s\n' "$*" >&2; }

# Installs, with apt, whichever of the packages given is not installed yet.
install_missing() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "installing ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      say "these packages are missing and I am not root and there is no sudo: ${missing[*]}"
      return 1
    fi
    sudo=(sudo)
  fi
  if ! command -v apt-get >/dev/null; then
    say "apt-get not found; install these packages by hand: ${missing[*]}"
    return 1
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null ||
    { say "apt-get could not install: ${missing[*]}"; return 1; }
}

# Wine with its 32-bit half: adds Debian's i386 architecture first when the
# machine does not have it yet.
install_wine() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    say "adding the i386 architecture for the 32-bit Wine"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" dpkg --add-architecture i386 ||
      { say "could not add the i386 architecture; the 32-bit Wine needs it"; return 1; }
    # The package lists must name the new architecture's packages.
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  fi
  install_missing "${LUMOREL_WINE_PACKAGES[@]}"
}

# Node.js and npm: the machine's own when it has them, else Debian's.
install_node() {
  command -v node >/dev/null && command -v npm >/dev/null && return 0
  install_missing nodejs npm
}

# configure_and_build DIR [cmake options...]: one build tree below the
# checkout, with clang++ or the compiler named by $LUMOREL_CXX.
configure_and_build() {
  local dir="$LUMOREL_ROOT/$1"
  shift
  cmake -S "$LUMOREL_ROOT" -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER="${LUMOREL_CXX:-clang++}" "$@" \
    >/dev/null && cmake --build "$dir"
}
