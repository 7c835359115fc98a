# Two commands set up a fresh Debian/Ubuntu machine: `make run` and `make test`.
SHELL := /bin/bash
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD ?= build
CMAKE_FLAGS ?=
UNIT_TESTS = test_app test_analysis test_audio test_view test_platform
# The programs with two threads at work: the audio callback against the frame step.
THREADED_TESTS = test_app test_audio

.PHONY: run test build deps deps-test unit-sanitizers bench level-sweep clean

run: deps build
	cd $(BUILD) && ./sonavel

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

deps:
	@tools/install-deps.sh run

deps-test:
	@tools/install-deps.sh test

# Sanitizer builds first, then the release build with every test; ctest's summary closes the run.
test: deps-test unit-sanitizers
	$(MAKE) build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Unit tests under AddressSanitizer with UndefinedBehaviorSanitizer; the threaded ones under ThreadSanitizer too.
unit-sanitizers:
	cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONAVEL_SANITIZE=address,undefined >/dev/null
	cmake --build $(BUILD)-asan -j $(JOBS) --target $(UNIT_TESTS)
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --test-dir $(BUILD)-asan --output-on-failure -j $(JOBS) -L unit
	cmake -S . -B $(BUILD)-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONAVEL_SANITIZE=thread >/dev/null
	cmake --build $(BUILD)-tsan -j $(JOBS) --target $(THREADED_TESTS)
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(BUILD)-tsan --output-on-failure -j $(JOBS) -L unit

bench:
	@tools/install-deps.sh bench
	cmake -S . -B $(BUILD)-bench -DCMAKE_BUILD_TYPE=Release -DSONAVEL_BUILD_BENCH=ON >/dev/null
	cmake --build $(BUILD)-bench -j $(JOBS)
	@rm -f $(BUILD)-bench/all.txt
	@set -o pipefail; for b in $(BUILD)-bench/bench/bench_*; do \
	  [ -x "$$b" ] || continue; \
	  "$$b" | tee -a $(BUILD)-bench/all.txt || exit 1; \
	done
	@echo; sed 's/\x1b\[[0-9;]*m//g' $(BUILD)-bench/all.txt | grep '^ratio '

# How well the played note is shown from -40 to -1 dBFS, with and without automatic gain
# (a few minutes); the table is kept in docs/level-sweep.txt.
level-sweep: build
	@tools/install-deps.sh sweep
	cd $(BUILD) && python3 ../tools/level_sweep.py ./sonavel level-sweep-work | tee $(CURDIR)/docs/level-sweep.txt

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-bench
