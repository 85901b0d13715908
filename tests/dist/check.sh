#!/usr/bin/env bash
# The releases in dist/ as players get them, after make dist, as root: the checksums; the
# .deb installs with apt, answers --version, has its manual page in section 6, lists its
# files and is removed again; the zip, unpacked, holds programs that import only Windows'
# own DLLs, answer --version and pass the smoke test under Wine; the web archive,
# unpacked and served, shows the intro in headless Chromium; the source archive,
# unpacked, builds.
# Usage: check.sh <canopy-lost-console.exe>   (make windows builds it; setup-debian dist)
set -euo pipefail
cd "$(dirname "$0")/../.."
lost=$(realpath "$1")
version=$(sed -n 's/.*GAME_VERSION\[\] = "v\([0-9][0-9.]*\)".*/\1/p' src/app/version.h)
fail() {
    echo "dist check: $*" >&2
    exit 1
}
work=$(mktemp -d)
server=
trap '[[ -z $server ]] || kill "$server"; rm -rf "$work"' EXIT
(cd dist && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match dist/"

deb=dist/canopy-hollow_${version}-1_$(dpkg --print-architecture).deb
apt-get install -y -q "./$deb" >"$work/apt.log" || fail "apt could not install $deb"
got=$(PATH=$PATH:/usr/games canopy-hollow --version)
[[ $got == "canopy-hollow v$version" ]] || fail "the installed game says '$got'"
[[ $(man -w 6 canopy-hollow) == /usr/share/man/man6/canopy-hollow.6.gz ]] ||
    fail "man -w 6 canopy-hollow finds no page in section 6"
for file in /usr/games/canopy-hollow /usr/games/canopy-sim /usr/share/doc/canopy-hollow/copyright \
    /usr/share/doc/canopy-hollow/changelog.Debian.gz; do
    dpkg -L canopy-hollow | grep -qxF "$file" || fail "dpkg -L canopy-hollow lacks $file"
done
apt-get remove -y -q canopy-hollow >"$work/apt.log" || fail "apt could not remove the package"
[[ ! -e /usr/games/canopy-hollow ]] || fail "the game stayed after its package was removed"

unzip -q "dist/canopy-hollow-$version-windows-x86_64.zip" -d "$work"
win=$work/canopy-hollow-$version-windows-x86_64
tests/dist/static_mingw.sh "$win/canopy-hollow.exe" "$win/canopy-sim.exe"
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
got=$(cd "$win" && wine canopy-hollow.exe --version </dev/null | tr -d '\r')
[[ $got == "canopy-hollow v$version" ]] || fail "canopy-hollow.exe says '$got'"
bash tests/windows/smoke.sh "$win/canopy-hollow.exe" "$lost" "$win/canopy-sim.exe" || fail "the zip's game failed its smoke test"
wineserver -k || true

tar -C "$work" -xzf "dist/canopy-hollow-$version-web.tar.gz"
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$work/canopy-hollow-$version-web" \
    >"$work/server.log" 2>&1 &
server=$!
for _ in $(seq 50); do
    port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/server.log") && [[ -n $port ]] && break
    sleep 0.1
done
# The game runs in a worker of the page: a browser driven in real time waits for its intro.
/usr/bin/python3 - "http://127.0.0.1:$port/index.html" <<'PY' || fail "the unpacked site did not show the intro"
import sys, time
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
options = webdriver.ChromeOptions()
options.binary_location = "/usr/bin/chromium"
for flag in ("--headless=new", "--no-sandbox", "--disable-gpu"):
    options.add_argument(flag)
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
try:
    driver.get(sys.argv[1])
    deadline = time.monotonic() + 30
    text = lambda: driver.execute_script("return document.body.innerText")  # noqa: E731
    while not ("An Elf must ever live" in text() and "[press any key]" in text()):
        if time.monotonic() > deadline:
            sys.exit(1)
        time.sleep(0.2)
finally:
    driver.quit()
PY

tar -C "$work" -xzf "dist/canopy-hollow-$version.tar.gz"
make -C "$work/canopy-hollow-$version" build JOBS="${JOBS:-2}" >"$work/build.log" 2>&1 ||
    fail "the unpacked sources did not build: $(tail -5 "$work/build.log")"
got=$("$work/canopy-hollow-$version/build/release/canopy-hollow" --version)
[[ $got == "canopy-hollow v$version" ]] || fail "the game built from the sources says '$got'"
echo "dist check: ok"
