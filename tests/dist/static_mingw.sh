#!/usr/bin/env bash
# A Windows build imports only Windows' own DLLs, so that each .exe starts on a machine
# with no MinGW runtime: the .exe given, or else both programs built the way a native
# MinGW-w64 g++ on Windows builds them, without the cross toolchain file and its flags.
# Usage: static_mingw.sh [EXE...]   (tools/setup-debian windows)
set -euo pipefail
cd "$(dirname "$0")/../.."
if [[ $# -eq 0 ]]; then
    build=build/mingw-native
    cmake -S . -B "$build" -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_COMPILER=x86_64-w64-mingw32-g++-posix -DCMAKE_RC_COMPILER=x86_64-w64-mingw32-windres \
        -DCANOPY_WERROR=ON -DCANOPY_TESTS=OFF -DCANOPY_BENCHMARKS=OFF >/dev/null
    cmake --build "$build" --target canopy-hollow canopy-sim -j "${JOBS:-2}" >/dev/null
    set -- "$build/canopy-hollow.exe" "$build/canopy-sim.exe"
fi
for exe in "$@"; do
    dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p')
    [[ -n $dlls ]] || { echo "static_mingw: $exe imports no DLL at all" >&2; exit 1; }
    others=$(grep -viE '^(kernel32|msvcrt|ucrtbase|user32|advapi32|api-ms-win-.*)\.dll$' <<<"$dlls") && {
        echo "static_mingw: $exe needs DLLs that Windows lacks: $(tr '\n' ' ' <<<"$others")" >&2
        exit 1
    }
    echo "static_mingw: $exe imports only $(tr '\n' ' ' <<<"$dlls")"
done
