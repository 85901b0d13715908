# Thin wrapper over CMake: `make run` builds and starts the game, `make test` builds
# and runs every test, then the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: run build test test-plain test-sanitize bench clean

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

test-sanitize:
	cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DCANOPY_WERROR=ON -DCANOPY_SANITIZE=ON -DCANOPY_BENCHMARKS=OFF
	cmake --build build/sanitize -j $(JOBS)
	ctest --test-dir build/sanitize --output-on-failure -j $(JOBS)

bench:
	cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DCANOPY_TESTS=OFF
	cmake --build build/bench --target canopy-bench -j $(JOBS)
	./build/bench/bench/canopy-bench

clean:
	rm -rf build
