# Thin wrapper over CMake: `make run` builds and starts the game, `make test` builds
# and runs every test, then the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run build test test-plain test-sanitize rerecord bench bench-terminal clean web test-web bench-web windows fuzz install dist

run: build
	./build/release/canopy-hollow

build:
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCANOPY_TESTS=OFF -DCANOPY_BENCHMARKS=OFF
	cmake --build build/release --target canopy-hollow canopy-sim -j $(JOBS)

test: test-plain test-sanitize

test-plain:
	cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCANOPY_WERROR=ON
	cmake --build build/test -j $(JOBS)
	ctest --test-dir build/test --output-on-failure -j $(JOBS)

# Writes anew the kept screens of one scenario in tests/scenarios (CASE=golden: the golden
# screens), after a change a player is meant to see (see the README): make rerecord CASE=name
rerecord:
	@test -n "$(CASE)" || { echo "make rerecord: name the scenario, CASE=name" >&2; exit 2; }
	cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCANOPY_WERROR=ON
	cmake --build build/test --target canopy_tests -j $(JOBS)
	CANOPY_RERECORD=$(CASE) build/test/tests/canopy_tests --gtest_filter='Scenarios/*/$(CASE):MapView.GoldenScreens*'

test-sanitize:
	cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DCANOPY_WERROR=ON -DCANOPY_SANITIZE=ON -DCANOPY_BENCHMARKS=OFF
	cmake --build build/sanitize -j $(JOBS)
	ctest --test-dir build/sanitize --output-on-failure -j $(JOBS)

bench:
	cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DCANOPY_TESTS=OFF
	cmake --build build/bench --target canopy-bench -j $(JOBS)
	./build/bench/bench/canopy-bench

# The game on a pseudo-terminal: bytes and CPU per frame, start-up time and memory.
bench-terminal:
	cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DCANOPY_TESTS=OFF
	cmake --build build/bench --target canopy-terminal-bench -j $(JOBS)
	./build/bench/bench/canopy-terminal-bench $(BENCH_ARGS)

# The game for web browsers, as one folder to serve: build/web. Emscripten's tools run
# on whichever node is first on the path, so point it at Debian's JavaScript modules.
EMSCRIPTEN_ENV = NODE_PATH=/usr/share/nodejs

web:
	$(EMSCRIPTEN_ENV) emcmake cmake -S web -B build/web-obj -DCMAKE_BUILD_TYPE=Release \
		-DCANOPY_WEB_OUTPUT=$(CURDIR)/build/web
	$(EMSCRIPTEN_ENV) cmake --build build/web-obj -j $(JOBS)

# The page played in headless Chromium against canopy-sim.
test-web: web build
	/usr/bin/python3 tests/web/browser_test.py --site build/web \
		--sim build/release/canopy-sim --out build/web-test

# The page idle on the main screen against the page of another revision (REV, by
# default 2da0087), side by side in headless Chromium: main-thread time and grid changes.
bench-web: web
	/usr/bin/python3 bench/web_idle.py --site build/web $(if $(REV),--against $(REV))

# The Windows console build, cross-compiled with mingw-w64 (warnings as errors): the
# game, build/windows/canopy-hollow.exe, then its tests and a smoke test under Wine.
windows:
	cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
		-DCMAKE_BUILD_TYPE=Release -DCANOPY_WERROR=ON -DCANOPY_BENCHMARKS=OFF
	cmake --build build/windows -j $(JOBS)
	ctest --test-dir build/windows --output-on-failure -j $(JOBS)

# The readers of recordings and terminal captures under libFuzzer (clang, with ASan and
# UBSan), FUZZ_SECONDS each, from the real games in tests/recordings.
FUZZ_SECONDS ?= 60
fuzz:
	@command -v clang++ >/dev/null || { echo "make fuzz: needs clang++ (tools/setup-debian fuzz)" >&2; exit 1; }
	cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCANOPY_TESTS=OFF -DCANOPY_BENCHMARKS=OFF -DCANOPY_FUZZ=ON
	cmake --build build/fuzz --target recording_fuzz capture_fuzz -j $(JOBS)
	mkdir -p build/fuzz/found/recording build/fuzz/found/capture
	build/fuzz/tests/fuzz/recording_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=5 \
		-print_final_stats=1 build/fuzz/found/recording tests/recordings
	build/fuzz/tests/fuzz/capture_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=5 \
		-print_final_stats=1 build/fuzz/found/capture tests/recordings

# Installs the game, canopy-sim and the manual page under PREFIX (bin/, share/man/man6/).
PREFIX ?= /usr/local
install: build
	cmake --install build/release --prefix "$(PREFIX)"

# The releases a player installs, into dist/: the Windows zip, the Debian package, the
# web site and the sources as archives, and their SHA256SUMS (tools/setup-debian dist).
dist:
	JOBS=$(JOBS) packaging/make-dist.sh

clean:
	rm -rf build dist
