#!/usr/bin/env bash
# Builds the static third-party libraries the cross targets link against
# (libpng 1.6 and libjpeg-turbo's libjpeg API; for 32-bit Linux zlib too) with
# the mingw-w64 toolchains and Debian's i686 Linux cross compiler, from
# Debian's source packages, into build/deps/<triplet>/.
#
# Usage: scripts/deps.sh [triplet ...]
#        (default: x86_64-w64-mingw32 i686-w64-mingw32; i686-linux-gnu builds
#        for the 32-bit Linux core that the tests run under qemu-i386)
#
# Reruns are cheap: each triplet/library has a stamp recording the source
# version and build options, and nothing is fetched or rebuilt while the
# stamp matches and the installed archives are present.
set -euo pipefail

# The host's flags are for host builds; the libraries get only the flags set
# below, so the stamps describe them fully.
unset CFLAGS CXXFLAGS CPPFLAGS LDFLAGS CMAKE_GENERATOR

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
DEPS="$ROOT/build/deps"
SRC="$DEPS/src"
LOGS="$DEPS/logs"

if [[ $# -gt 0 ]]; then
    TRIPLETS=("$@")
else
    TRIPLETS=(x86_64-w64-mingw32 i686-w64-mingw32)
fi

PNG_PKG=libpng1.6
JPEG_PKG=libjpeg-turbo
ZLIB_PKG=zlib

# nasm is listed so libjpeg-turbo can be tried with its SIMD code; the build
# falls back to plain C for a triplet where that does not work.
BUILD_PACKAGES=(cmake make dpkg-dev file nasm mingw-w64
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev)
if [[ " ${TRIPLETS[*]} " == *" i686-linux-gnu "* ]]; then
    BUILD_PACKAGES+=(g++-i686-linux-gnu qemu-user)
fi

DEB_SRC_FILE=/etc/apt/sources.list.d/quorvex-deps-src.sources
JOBS="$(nproc 2>/dev/null || echo 2)"

# Progress goes to the original stdout (fd 3) so that it stays visible even
# from inside a step whose output is being logged.
exec 3>&1
say() { printf '[deps] %s\n' "$*" >&3; }
die() { printf '[deps] error: %s\n' "$*" >&2; exit 1; }

# Runs a command with its output sent to a log, showing the log's tail only
# when it fails, so a normal run stays a handful of progress lines.
run_logged() {
    local log="$1"; shift
    mkdir -p "$(dirname "$log")"
    if ! "$@" >"$log" 2>&1; then
        printf '[deps] error: command failed: %s\n' "$*" >&2
        printf '[deps] last lines of %s:\n' "$log" >&2
        tail -n 40 "$log" >&2
        exit 1
    fi
}

# On a fresh machine another apt-get may still be running. apt waits for the
# dpkg lock itself given a timeout, but not for the package lists lock, so a
# lock failure is retried for up to ten minutes; any other failure is final.
apt_get() {
    local out attempt status
    out="$(mktemp)"
    for attempt in $(seq 60); do
        status=0
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=10 "$@" >"$out" 2>&1 || status=$?
        if [[ $status -eq 0 ]] || ! grep -qE 'Could not get lock|Unable to lock|Unable to acquire' "$out"; then
            break
        fi
        [[ $attempt -eq 1 ]] && say "waiting for another apt/dpkg process to finish"
        sleep 10
    done
    cat "$out"
    rm -f "$out"
    return "$status"
}

ensure_packages() {
    local missing=() pkg
    for pkg in "${BUILD_PACKAGES[@]}"; do
        if [[ "$(dpkg-query -W -f='${db:Status-Abbrev}' "$pkg" 2>/dev/null)" != ii* ]]; then
            missing+=("$pkg")
        fi
    done
    [[ ${#missing[@]} -eq 0 ]] && return 0
    say "installing ${missing[*]}"
    if ! apt_get install -y --no-install-recommends "${missing[@]}" >"$LOGS/apt-install.log" 2>&1; then
        # A machine that never ran apt-get update has no package lists.
        apt_get update >>"$LOGS/apt-install.log" 2>&1 || true
        run_logged "$LOGS/apt-install-retry.log" \
            apt_get install -y --no-install-recommends "${missing[@]}"
    fi
}

# apt itself reports which indexes its configuration asks for, whatever
# format or file the entry is in, so that is the test for an existing one.
have_deb_src() {
    local uris
    uris="$(apt-get --print-uris update 2>/dev/null)"
    grep -q '/dists/bookworm/main/source/Sources' <<<"$uris"
}

APT_UPDATED=0

ensure_deb_src() {
    if ! have_deb_src; then
        say "adding deb-src entry $DEB_SRC_FILE"
        cat >"$DEB_SRC_FILE" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
        apt_update
    fi
}

apt_update() {
    [[ $APT_UPDATED -eq 1 ]] && return 0
    say "apt-get update"
    run_logged "$LOGS/apt-update.log" apt_get update
    APT_UPDATED=1
}

# The .dsc file apt would fetch for a source package, or nothing.
source_dsc() {
    local uris
    uris="$(cd "$SRC" && apt-get source --print-uris "$1" 2>/dev/null)" || return 0
    awk '$2 ~ /\.dsc$/ && !found { print $2; found = 1 }' <<<"$uris"
}

# Unpacks a source package under $SRC/<pkg> unless already there, and sets
# SOURCE_VERSION to its Debian version.
fetch_source() {
    local pkg="$1" dir="$SRC/$1" marker="$SRC/$1/.deps-version"
    if [[ -f "$marker" ]]; then
        SOURCE_VERSION="$(<"$marker")"
        return 0
    fi
    ensure_deb_src
    mkdir -p "$SRC"
    local dsc
    dsc="$(source_dsc "$pkg")"
    if [[ -z "$dsc" ]]; then
        # An entry that was there already but whose index was never
        # downloaded looks just like this.
        apt_update
        dsc="$(source_dsc "$pkg")"
    fi
    [[ -n "$dsc" ]] || die "apt cannot find source package $pkg (is the deb-src entry working?)"
    say "fetching source $pkg"
    (cd "$SRC" && run_logged "$LOGS/source-$pkg.log" apt-get source --download-only "$pkg")
    rm -rf "$dir"
    run_logged "$LOGS/unpack-$pkg.log" dpkg-source --no-check -x "$SRC/$dsc" "$dir"
    sed -n 's/^Version: //p' "$SRC/$dsc" | head -n 1 >"$marker"
    SOURCE_VERSION="$(<"$marker")"
}

# Version of an already unpacked source, or nothing; never touches apt.
local_source_version() {
    local marker="$SRC/$1/.deps-version"
    [[ -f "$marker" ]] && cat "$marker"
    return 0
}

# A stamp is current when the archive it vouches for exists, its options
# match this script's, and it was built from the source now unpacked (when
# the source has been cleaned away, the stamp alone is trusted).
stamp_current() {
    local stamp="$1" archive="$2" options="$3" pkg="$4" version
    [[ -f "$stamp" && -f "$archive" ]] || return 1
    [[ "$(sed -n 's/^options=//p' "$stamp")" == "$options" ]] || return 1
    version="$(local_source_version "$pkg")"
    [[ -z "$version" || "$(sed -n 's/^version=//p' "$stamp")" == "$version" ]]
}

target_cpu() {
    case "$1" in
        x86_64-w64-mingw32) echo x86_64 ;;
        i686-w64-mingw32) echo i686 ;;
        i686-linux-gnu) echo i686 ;;
        *) return 1 ;;
    esac
}

is_linux() { [[ "$1" == *-linux-gnu ]]; }

# The C compiler of a triplet: the posix-thread mingw variant, or Debian's
# plain cross gcc for Linux.
cross_cc() {
    if is_linux "$1"; then echo "$1-gcc"; else echo "$1-gcc-posix"; fi
}

# The tool and search-path lines both kinds of toolchain share.
archiver_lines() {
    cat <<EOF
set(CMAKE_AR /usr/bin/$1-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/$1-ranlib CACHE FILEPATH "")
EOF
}
search_lines() {
    cat <<EOF
set(CMAKE_FIND_ROOT_PATH /usr/$1 $2)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
}

toolchain_text() {
    local triplet="$1" prefix="$2"
    if is_linux "$triplet"; then
        # SSE2 arithmetic as in the Windows i686 build, so doubles round alike.
        cat <<EOF
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR $(target_cpu "$triplet"))
set(CMAKE_C_COMPILER $triplet-gcc)
set(CMAKE_CXX_COMPILER $triplet-g++)
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
EOF
        archiver_lines "$triplet"
        search_lines "$triplet" "$prefix"
        return 0
    fi
    cat <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR $(target_cpu "$triplet"))
set(CMAKE_C_COMPILER $triplet-gcc-posix)
set(CMAKE_CXX_COMPILER $triplet-g++-posix)
set(CMAKE_RC_COMPILER $triplet-windres)
EOF
    archiver_lines "$triplet"
    cat <<EOF
# Libraries and headers only from the mingw sysroot and our own prefix, so
# nothing built for the Linux host is picked up; host programs (nasm, awk)
# are still found.
EOF
    search_lines "$triplet" "$prefix"
}

# Configures, builds and installs one CMake project in a clean build tree.
cmake_build() {
    local name="$1" srcdir="$2" builddir="$3"; shift 3
    rm -rf "$builddir"
    run_logged "$LOGS/$name-configure.log" \
        cmake -G "Unix Makefiles" -S "$srcdir" -B "$builddir" "$@"
    run_logged "$LOGS/$name-build.log" cmake --build "$builddir" -j "$JOBS"
    run_logged "$LOGS/$name-install.log" cmake --install "$builddir"
}

# Links a program using all three libraries statically; proves the archives
# are complete, built for the right target, and usable together.
verify_link() {
    local triplet="$1" prefix="$2" work="$DEPS/build/$1/verify"
    mkdir -p "$work"
    cat >"$work/verify.c" <<'EOF'
#include <stdio.h>
#include <png.h>
#include <jpeglib.h>
#include <zlib.h>

int main(void)
{
    struct jpeg_error_mgr err;
    struct jpeg_error_mgr *e = jpeg_std_error(&err);
    printf("png %lu, zlib %s, jpeg %s\n",
           (unsigned long)png_access_version_number(), zlibVersion(),
           e == &err ? "ok" : "bad");
    return 0;
}
EOF
    if ! "$(cross_cc "$triplet")" -static -O2 -I"$prefix/include" "$work/verify.c" \
            -o "$work/verify.exe" -L"$prefix/lib" -lpng16 -ljpeg -lz -lm \
            >"$LOGS/$triplet-verify.log" 2>&1; then
        cat "$LOGS/$triplet-verify.log" >&2
        die "$triplet: test program does not link against the built libraries"
    fi
    local kind
    kind="$(file -b "$work/verify.exe")"
    case "$triplet:$kind" in
        x86_64-*:PE32+\ *) ;;
        i686-w64-*:PE32\ *) ;;
        i686-linux-*:ELF\ 32-bit\ LSB\ executable,\ Intel\ 80386*)
            qemu-i386 "$work/verify.exe" >/dev/null \
                || die "$triplet: test program does not run under qemu-i386" ;;
        *) die "$triplet: test program is not the expected executable: $kind" ;;
    esac
    say "$triplet: verified ($kind)"
}

build_triplet() {
    local triplet="$1"
    local prefix="$DEPS/$triplet" work="$DEPS/build/$triplet"
    local toolchain="$work/toolchain.cmake"
    local png_stamp="$prefix/.stamp-libpng" jpeg_stamp="$prefix/.stamp-libjpeg"
    local sysroot="/usr/$triplet"

    # -O2 sits in the base flags because libjpeg-turbo rewrites an -O2 it
    # finds in the Release flags to -O3. The install dirs are left at their
    # defaults (lib/, include/): libjpeg-turbo takes a relative LIBDIR as
    # relative to the working directory, not the prefix.
    local common=(
        -DCMAKE_TOOLCHAIN_FILE="$toolchain"
        -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_C_FLAGS=-O2
        -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG
        -DCMAKE_INSTALL_PREFIX="$prefix"
        -DBUILD_SHARED_LIBS=OFF
    )
    # zlib given explicitly so the static libz.a is recorded, not the import
    # library beside it.
    # The Linux cross sysroot has no zlib: it is built from source into the
    # prefix first.
    local zlib_dir="$sysroot"
    is_linux "$triplet" && zlib_dir="$prefix"
    local png_opts=(
        "${common[@]}"
        -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF
        -DPNG_FRAMEWORK=OFF
        -DZLIB_INCLUDE_DIR="$zlib_dir/include" -DZLIB_LIBRARY="$zlib_dir/lib/libz.a"
    )
    local zlib_opts=(-O2 -msse2 -mfpmath=sse)
    local jpeg_opts=(
        "${common[@]}"
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF
    )

    # The signatures include the toolchain file's text so that a change to
    # either the options or the toolchain rebuilds.
    local toolchain_body png_sig jpeg_sig
    toolchain_body="$(toolchain_text "$triplet" "$prefix")"
    png_sig="${png_opts[*]} $(tr '\n' ' ' <<<"$toolchain_body")"
    jpeg_sig="${jpeg_opts[*]} $(tr '\n' ' ' <<<"$toolchain_body")"

    local zlib_stamp="$prefix/.stamp-zlib" zlib_sig zlib_done=1
    zlib_sig="${zlib_opts[*]} $(tr '\n' ' ' <<<"$toolchain_body")"
    if is_linux "$triplet"; then
        zlib_done=0
        stamp_current "$zlib_stamp" "$prefix/lib/libz.a" "$zlib_sig" "$ZLIB_PKG" && zlib_done=1
    fi
    local png_done=0 jpeg_done=0
    stamp_current "$png_stamp" "$prefix/lib/libpng16.a" "$png_sig" "$PNG_PKG" && png_done=1
    stamp_current "$jpeg_stamp" "$prefix/lib/libjpeg.a" "$jpeg_sig" "$JPEG_PKG" && jpeg_done=1
    if [[ $zlib_done -eq 1 && $png_done -eq 1 && $jpeg_done -eq 1 ]]; then
        say "$triplet: up to date"
        return 0
    fi

    local start=$SECONDS
    mkdir -p "$work"
    printf '%s\n' "$toolchain_body" >"$toolchain"
    local png_version jpeg_version simd="" zlib_version

    if [[ $zlib_done -eq 0 ]]; then
        fetch_source "$ZLIB_PKG"
        zlib_version="$SOURCE_VERSION"
        say "$triplet: building zlib $zlib_version"
        rm -f "$zlib_stamp"
        # zlib's own configure script, in a copy of the source: its CMake
        # build rewrites the source tree and wants files Debian's tarball
        # drops.
        rm -rf "$work/zlib"
        mkdir -p "$work"
        cp -a "$SRC/$ZLIB_PKG" "$work/zlib"
        (cd "$work/zlib" &&
            run_logged "$LOGS/$triplet-zlib-configure.log" env CHOST="$triplet" \
                CC="$(cross_cc "$triplet")" AR="$triplet-ar" RANLIB="$triplet-ranlib" \
                CFLAGS="${zlib_opts[*]}" ./configure --static --prefix="$prefix" &&
            run_logged "$LOGS/$triplet-zlib-build.log" make -j "$JOBS" libz.a &&
            run_logged "$LOGS/$triplet-zlib-install.log" make install)
        # libpng is rebuilt against the new zlib.
        png_done=0
    fi

    if [[ $png_done -eq 0 ]]; then
        fetch_source "$PNG_PKG"
        png_version="$SOURCE_VERSION"
        say "$triplet: building libpng $png_version"
        rm -f "$png_stamp"
        cmake_build "$triplet-libpng" "$SRC/$PNG_PKG" "$work/libpng" "${png_opts[@]}"
    fi

    if [[ $jpeg_done -eq 0 ]]; then
        fetch_source "$JPEG_PKG"
        jpeg_version="$SOURCE_VERSION"
        rm -f "$jpeg_stamp"
        # SIMD is worth having for decode speed, but only if nasm can
        # assemble it for this target; REQUIRE_SIMD turns a silent
        # downgrade into a failure we can see and act on.
        say "$triplet: building libjpeg-turbo $jpeg_version (SIMD)"
        if (cmake_build "$triplet-libjpeg" "$SRC/$JPEG_PKG" "$work/libjpeg" \
                "${jpeg_opts[@]}" -DWITH_SIMD=ON -DREQUIRE_SIMD=ON) 2>"$LOGS/$triplet-libjpeg-simd.err"; then
            simd=on
            rm -f "$LOGS/$triplet-libjpeg-simd.err"
        else
            say "$triplet: SIMD build failed (see $LOGS/$triplet-libjpeg-simd.err), building without SIMD"
            cmake_build "$triplet-libjpeg-nosimd" "$SRC/$JPEG_PKG" "$work/libjpeg" \
                "${jpeg_opts[@]}" -DWITH_SIMD=OFF
            simd=off
        fi
    fi

    verify_link "$triplet" "$prefix"

    # Stamps only after the link check, so a failed check is retried.
    if [[ $zlib_done -eq 0 ]]; then
        printf 'source=%s\nversion=%s\noptions=%s\n' \
            "$ZLIB_PKG" "$zlib_version" "$zlib_sig" >"$zlib_stamp"
    fi
    if [[ $png_done -eq 0 ]]; then
        printf 'source=%s\nversion=%s\noptions=%s\n' \
            "$PNG_PKG" "$png_version" "$png_sig" >"$png_stamp"
    fi
    if [[ $jpeg_done -eq 0 ]]; then
        printf 'source=%s\nversion=%s\nsimd=%s\noptions=%s\n' \
            "$JPEG_PKG" "$jpeg_version" "$simd" "$jpeg_sig" >"$jpeg_stamp"
    fi
    say "$triplet: done in $((SECONDS - start))s"
}

main() {
    local triplet
    for triplet in "${TRIPLETS[@]}"; do
        target_cpu "$triplet" >/dev/null || die "unsupported triplet: $triplet"
    done
    mkdir -p "$LOGS"
    ensure_packages
    for triplet in "${TRIPLETS[@]}"; do
        build_triplet "$triplet"
    done
}

main
