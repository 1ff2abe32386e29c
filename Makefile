# Entry points: `make test` and `make demo` do all the set-up on a fresh Debian machine.
# `make check` is the inner loop: the default build and its tests; `make test` is everything CI runs.
.PHONY: deps build check test test-default test-asan test-tsan demo bench format clean

deps:
	./scripts/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default

check: deps
	cmake --preset default && cmake --build --preset default && ctest --preset default

test: deps
	cmake --preset default && cmake --build --preset default && ctest --preset default
	cmake --preset asan && cmake --build --preset asan && ctest --preset asan
	cmake --preset tsan && cmake --build --preset tsan && ctest --preset tsan
	./scripts/run-fuzzers.sh
	./scripts/install-deps.sh --windows
	./scripts/test-windows.sh

demo: build
	./build/default/bin/velmora tour

bench: deps
	./scripts/run-benchmarks.sh

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
