#!/usr/bin/env bash
# Builds the releases a player installs, into dist/, all of the version the status line
# shows (src/app/version.h):
#   canopy-hollow-VERSION-windows-x86_64.zip  the two .exe, static and stripped, README.txt,
#                                             the manual page as text
#   canopy-hollow_VERSION-1_ARCH.deb          the game in /usr/games, checked by lintian
#   canopy-hollow-VERSION-web.tar.gz          the site, for any static web host
#   canopy-hollow-VERSION.tar.gz              the sources git tracks
#   SHA256SUMS
# Times inside the archives are those of the last commit, so a rebuild of the same commit
# in the same folder gives the same bytes. Needs tools/setup-debian dist.
# Usage: make dist
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${JOBS:-2}
say() { echo "make dist: $*" >&2; }
die() {
    say "$*"
    exit 1
}

version=$(sed -n 's/.*GAME_VERSION\[\] = "v\([0-9][0-9.]*\)".*/\1/p' src/app/version.h)
[[ -n $version ]] || die "no version in src/app/version.h"
# The manual page names the version too: a release with two different ones is refused.
grep -q "\"Canopy Hollow v$version\"" doc/canopy-hollow.6 ||
    die "doc/canopy-hollow.6 does not name version v$version in its .TH line"
git rev-parse --is-inside-work-tree >/dev/null 2>&1 || die "the source archive needs a git checkout"
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}

out=$root/dist
work=$root/build/dist
rm -rf "$out" "$work/stage"
mkdir -p "$out" "$work/stage"
umask 022

# Reproducible tar.gz of folder $2 inside $1, written to $3.
pack_tar() {
    tar -C "$1" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" \
        -cf - "$2" | gzip -9n >"$3"
}
# The manual page as plain text, without the terminal's bold and underline.
manual_text() { groff -man -Tascii -P-cbou doc/canopy-hollow.6; }

say "Windows: the cross build"
cmake -S . -B "$work/windows" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DCANOPY_WERROR=ON -DCANOPY_TESTS=OFF -DCANOPY_BENCHMARKS=OFF >/dev/null
cmake --build "$work/windows" --target canopy-hollow canopy-sim -j "$jobs"
name=canopy-hollow-$version-windows-x86_64
win=$work/stage/$name
cmake --install "$work/windows" --prefix "$work/stage/windows-install" --strip >/dev/null
mkdir -p "$win"
cp "$work/stage/windows-install/bin/canopy-hollow.exe" "$work/stage/windows-install/bin/canopy-sim.exe" "$win/"
sed "s/@VERSION@/$version/g" packaging/windows/README.txt >"$win/README.txt"
manual_text >"$win/canopy-hollow.txt"
find "$win" -exec touch -d "@$SOURCE_DATE_EPOCH" {} +
# Text files with Windows line ends (zip -l), the programs as they are.
(cd "$work/stage" && zip -X -q -9 "$out/$name.zip" "$name/canopy-hollow.exe" "$name/canopy-sim.exe" &&
    zip -X -q -9 -l "$out/$name.zip" "$name/README.txt" "$name/canopy-hollow.txt")

say "Debian package"
arch=$(dpkg --print-architecture)
# Debian's hardening flags, all of them; the Release build's own optimisation comes after.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$work/linux" -DCMAKE_BUILD_TYPE=Release -DCANOPY_TESTS=OFF -DCANOPY_BENCHMARKS=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_BINDIR=games \
    "-DCMAKE_CXX_FLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    "-DCMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$work/linux" --target canopy-hollow canopy-sim -j "$jobs"
deb=$work/stage/deb
DESTDIR=$deb cmake --install "$work/linux" --strip >/dev/null
strip --remove-section=.comment "$deb/usr/games/canopy-hollow" "$deb/usr/games/canopy-sim"
man6=$deb/usr/share/man/man6
gzip -9n "$man6/canopy-hollow.6"
ln -s canopy-hollow.6.gz "$man6/canopy-sim.6.gz"
doc=$deb/usr/share/doc/canopy-hollow
mkdir -p "$doc" "$deb/DEBIAN"
sed "s/@YEAR@/$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y)/" packaging/debian/copyright >"$doc/copyright"
sed -e "s/@VERSION@/$version/g" -e "s/@DATE@/$(date -R -u -d "@$SOURCE_DATE_EPOCH")/" \
    packaging/debian/changelog | gzip -9n >"$doc/changelog.Debian.gz"
# Dependencies from what the binaries link; dpkg-shlibdeps reads them from a
# debian/control of its own.
mkdir -p "$work/stage/shlibdeps/debian"
printf 'Source: canopy-hollow\n\nPackage: canopy-hollow\nArchitecture: any\n' \
    >"$work/stage/shlibdeps/debian/control"
depends=$(cd "$work/stage/shlibdeps" && dpkg-shlibdeps -O "$deb/usr/games/canopy-hollow" \
    "$deb/usr/games/canopy-sim" | sed -n 's/^shlibs:Depends=//p')
[[ -n $depends ]] || die "dpkg-shlibdeps found no dependencies"
size=$(du -sk --exclude=DEBIAN "$deb" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@INSTALLED_SIZE@/$size/" \
    -e "s/@DEPENDS@/$depends/" packaging/debian/control >"$deb/DEBIAN/control"
(cd "$deb" && find usr -type f -print0 | sort -z | xargs -0 md5sum >DEBIAN/md5sums)
find "$deb" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
dpkg-deb --root-owner-group -Zxz --build "$deb" "$out/canopy-hollow_${version}-1_$arch.deb" >/dev/null
# A package lintian finds errors in is no release; its warnings are shown.
lintian --fail-on error "$out/canopy-hollow_${version}-1_$arch.deb" || die "lintian reports errors"

say "the web site"
make web JOBS="$jobs" >/dev/null
mkdir -p "$work/stage/web"
cp -r build/web "$work/stage/web/canopy-hollow-$version-web"
pack_tar "$work/stage/web" "canopy-hollow-$version-web" "$out/canopy-hollow-$version-web.tar.gz"

say "the sources"
mkdir -p "$work/stage/src/canopy-hollow-$version"
git ls-files -z | while IFS= read -r -d '' file; do
    [[ -e $file || -L $file ]] && printf '%s\0' "$file"
done | tar --null -T - -cf - | tar -C "$work/stage/src/canopy-hollow-$version" -xf -
pack_tar "$work/stage/src" "canopy-hollow-$version" "$out/canopy-hollow-$version.tar.gz"

(cd "$out" && sha256sum -- *.zip *.deb *.tar.gz >SHA256SUMS)
say "done:"
(cd "$out" && ls -l)
