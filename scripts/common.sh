# Shared by ./run, ./test and .ci/run: install what is missing, then configure and build.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Packages the programmer needs to build and run; the tests add theirs.
RUN_PACKAGES=(g++ cmake make pkg-config gettext qt6-base-dev qt6-translations-l10n fonts-dejavu-core)
# The install test validates the menu entry and packs the Debian packages (dpkg-shlibdeps and
# file find the libraries' packages); lintian and appstream check them.
TEST_PACKAGES=(libgtest-dev libgmock-dev googletest libbenchmark-dev xvfb xauth
               desktop-file-utils dpkg-dev file lintian appstream)
# The fuzz target: clang with its libFuzzer and sanitizer runtimes.
TEST_PACKAGES+=(clang libclang-rt-dev)

die() {
    echo "error: $*" >&2
    exit 1
}

# Installs the packages that are not installed yet; nothing at all when every one is.
install_missing() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    command -v apt-get >/dev/null || die "apt-get not found; install by hand: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || die "run as root or install sudo; missing: ${missing[*]}"
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update || die "apt-get update failed"
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "${missing[@]}" \
        || die "apt-get install failed: ${missing[*]}"
}

# Configures and builds into $1 with the CMake options that follow. ./run and ./test compile
# with the same flags, so neither rebuilds what the other built: warnings are not errors here
# (a newer compiler must not stop a user's ./run) but are recorded, and ./test fails on them.
build_into() {
    local dir="$1"
    shift
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRILO_WERROR=OFF \
        -DCMAKE_CXX_COMPILER_LAUNCHER="$ROOT/scripts/record-warnings" "$@" \
        || die "configure failed"
    cmake --build "$dir" -j "$(nproc)" || die "build failed"
}

# Fails when a compile in $1 warned; the warning stays recorded until its file compiles
# cleanly, so running ./test again does not hide it.
fail_on_warnings() {
    local found
    found="$(find "$1" -name '*.o.warnings' | sort)"
    if [ -n "$found" ]; then
        local file
        while IFS= read -r file; do
            echo "--- ${file%.warnings}" >&2
            cat "$file" >&2
        done <<<"$found"
        die "the compiler warned (above); ./test treats warnings as errors"
    fi
}
