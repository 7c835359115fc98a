# Two commands set up a fresh Debian/Ubuntu machine: `make run` and `make test`;
# `make check` is the quick loop while working.
SHELL := /bin/bash
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD ?= build
CMAKE_FLAGS ?=
FUZZ_TARGETS = fuzz_events fuzz_cli fuzz_font fuzz_sound
FUZZ_SECONDS ?= 5
ASAN_UBSAN = address,undefined
PREFIX ?= /usr/local
# `make deb`: the package is built from a copy of the tree in DEB_BUILD and lands in DIST.
DEB_BUILD = $(BUILD)-deb
DIST = dist
VERSION = $(shell sed -n 's/^project(sonavel VERSION \([0-9.]*\).*)$$/\1/p' CMakeLists.txt)

WINDOWS_BUILD ?= $(BUILD)-windows

.PHONY: run test check build install deb deps deps-test unit-sanitizers fuzz bench level-sweep level-sweep-rates clean windows windows-deps windows-test

# Configures quietly: CMake's output is shown only when it fails, where it holds the cause.
# $(1): the build folder, $(2): more arguments.
configure = @echo "cmake -S . -B $(1) $(2)"; \
  log=$$(cmake -S . -B $(1) $(2) 2>&1) || { printf '%s\n' "$$log" >&2; exit 1; }

run: deps build
	cd $(BUILD) && ./sonavel

build:
	$(call configure,$(BUILD),-DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS))
	cmake --build $(BUILD) -j $(JOBS)

# The program, its font, manual page, desktop entry and icon under PREFIX (DESTDIR is honoured).
install:
	$(call configure,$(BUILD),-DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS))
	cmake --build $(BUILD) -j $(JOBS)
	cmake --install $(BUILD)

# The Debian package, made by dpkg-buildpackage from the tree's files (tracked and new, not
# ignored) copied to $(DEB_BUILD), since it writes into debian/ and beside the source folder.
# Leaves $(DIST)/sonavel_VERSION_ARCH.deb, the source package and the .changes, which lintian must
# pass without an error or a warning. The build's log is shown only when it fails.
deb:
	@tools/install-deps.sh deb
	@rm -rf $(DEB_BUILD) && mkdir -p $(DEB_BUILD)/sonavel-$(VERSION) $(DIST)
	@set -o pipefail; git ls-files -z --cached --others --exclude-standard \
	  | while IFS= read -r -d '' f; do [ -e "$$f" ] && printf '%s\0' "$$f"; done \
	  | tar --null -T - -cf - | tar -xf - -C $(DEB_BUILD)/sonavel-$(VERSION)
	@echo "dpkg-buildpackage -us -uc (log: $(DEB_BUILD)/build.log)"
	@cd $(DEB_BUILD)/sonavel-$(VERSION) && DEB_BUILD_OPTIONS="parallel=$(JOBS) $$DEB_BUILD_OPTIONS" \
	  dpkg-buildpackage -us -uc >../build.log 2>&1 || { tail -n 40 ../build.log >&2; \
	  echo "sonavel: dpkg-buildpackage failed; the whole log is $(DEB_BUILD)/build.log" >&2; exit 1; }
	@rm -f $(DIST)/sonavel_* $(DIST)/sonavel-dbgsym_*
	@find $(DEB_BUILD) -maxdepth 1 -type f -name 'sonavel*' -exec mv -t $(DIST) {} +
	lintian --display-info --fail-on error,warning $(DIST)/sonavel_$(VERSION)_$$(dpkg --print-architecture).changes
	@ls -l $(DIST)/sonavel_$(VERSION)_$$(dpkg --print-architecture).deb

deps:
	@tools/install-deps.sh run

deps-test:
	@tools/install-deps.sh test

# Sanitizer builds, a short fuzzing run and the package first, then the release build with every
# test (the package's install-run-remove check among them), then the Windows build's tests under
# Wine against it; the two ctest summaries close the run.
test: deps-test unit-sanitizers fuzz deb
	@python3 tools/check_layers.py
	$(MAKE) build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	$(MAKE) windows-test

# The release unit tests alone, built first if need be: the loop while working, in well under
# a minute after a build. `make test` is the whole run, before a merge and in CI.
check: deps-test
	@python3 tools/check_layers.py
	$(call configure,$(BUILD),-DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS))
	cmake --build $(BUILD) -j $(JOBS) --target unit_tests
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -L unit

# Unit tests under AddressSanitizer with UndefinedBehaviorSanitizer; the threaded ones under ThreadSanitizer too.
# A sanitizer build holds only the unit-test programs, so `-L unit` runs just those.
unit-sanitizers:
	$(call configure,$(BUILD)-asan,-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONAVEL_SANITIZE=$(ASAN_UBSAN))
	cmake --build $(BUILD)-asan -j $(JOBS) --target unit_tests
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --test-dir $(BUILD)-asan --output-on-failure -j $(JOBS) -L unit
	$(call configure,$(BUILD)-tsan,-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONAVEL_SANITIZE=thread)
	cmake --build $(BUILD)-tsan -j $(JOBS) --target threaded_unit_tests
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(BUILD)-tsan --output-on-failure -j $(JOBS) -L unit

# Each fuzz target for FUZZ_SECONDS from the seeds in tests/fuzz/corpus; what it learns stays in
# $(BUILD)-fuzz/corpus, and an input that fails lands in $(BUILD)-fuzz/findings.
fuzz: export CC = clang
fuzz: export CXX = clang++
fuzz: deps-test
	$(call configure,$(BUILD)-fuzz,-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONAVEL_FUZZ=ON -DSONAVEL_BUILD_TESTS=OFF)
	cmake --build $(BUILD)-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	@mkdir -p $(BUILD)-fuzz/findings
	@for t in $(FUZZ_TARGETS); do \
	  seeds=tests/fuzz/corpus/$${t#fuzz_}; mkdir -p $(BUILD)-fuzz/corpus/$$t; \
	  echo "sonavel: fuzzing $$t for $(FUZZ_SECONDS) s"; \
	  $(BUILD)-fuzz/tests/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=$(BUILD)-fuzz/findings/$$t- $(BUILD)-fuzz/corpus/$$t $$seeds 2>&1 \
	    | grep -E '^(stat::number_of_executed_units|==[0-9]+==|SUMMARY|artifact_prefix)|Test unit written' ; \
	  test $${PIPESTATUS[0]} -eq 0 || exit 1; \
	done

bench:
	@tools/install-deps.sh bench
	$(call configure,$(BUILD)-bench,-DCMAKE_BUILD_TYPE=Release -DSONAVEL_BUILD_BENCH=ON)
	cmake --build $(BUILD)-bench -j $(JOBS)
	@rm -f $(BUILD)-bench/all.txt
	@set -o pipefail; for b in $(BUILD)-bench/bench/bench_*; do \
	  [ -x "$$b" ] || continue; \
	  "$$b" | tee -a $(BUILD)-bench/all.txt || exit 1; \
	done
	@echo; sed 's/\x1b\[[0-9;]*m//g' $(BUILD)-bench/all.txt | grep '^ratio '

# How well the played notes are shown from -40 to -1 dBFS, with and without automatic gain
# (ten minutes or so); the tables are kept in docs/level-sweep.txt, and with DETECTOR=precise
# in docs/level-sweep-precise.txt.
DETECTOR ?= design
level-sweep: build
	@tools/install-deps.sh sweep
	cd $(BUILD) && python3 ../tools/level_sweep.py ./sonavel level-sweep-work --detector $(DETECTOR) \
	  | tee $(CURDIR)/docs/level-sweep$(if $(filter precise,$(DETECTOR)),-precise).txt

# The same corpus at 48, 96, 32 and 22.05 kHz against 44.1 kHz (some minutes more); the table is
# kept in docs/level-sweep-rates.txt.
level-sweep-rates: build
	@tools/install-deps.sh sweep
	cd $(BUILD) && python3 ../tools/level_sweep_rates.py ./sonavel level-sweep-rates-work --rates 44100,48000,96000,32000,22050 \
	  | tee $(CURDIR)/docs/level-sweep-rates.txt

# The Windows build's libraries, cross-built from Debian's source packages into a cache outside
# the tree (SONAVEL_WINDOWS_DEPS, default ~/.cache/sonavel/windows-deps); while the versions stay
# the same a second run takes seconds. The folders are kept in $(WINDOWS_BUILD)/deps-prefix and
# exact-prefix (glibc's math functions and soxr, which must compute as the Linux build does).
windows-deps:
	@tools/install-deps.sh windows
	@mkdir -p $(WINDOWS_BUILD)
	@tools/windows/build-deps.sh >$(WINDOWS_BUILD)/deps-prefix.new
	@mv $(WINDOWS_BUILD)/deps-prefix.new $(WINDOWS_BUILD)/deps-prefix
	@tools/windows/build-exact-libs.sh "$$(cat $(WINDOWS_BUILD)/deps-prefix)" >$(WINDOWS_BUILD)/exact-prefix.new
	@mv $(WINDOWS_BUILD)/exact-prefix.new $(WINDOWS_BUILD)/exact-prefix

# sonavel.exe (for consoles) and sonavelw.exe (for the Start menu) with their DLLs in
# $(WINDOWS_BUILD), packed into sonavel-VERSION-windows-x64.zip and an NSIS installer beside them.
windows_configure = $(call configure,$(WINDOWS_BUILD),--toolchain $(CURDIR)/cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DSONAVEL_WINDOWS_PREFIX=$(shell cat $(WINDOWS_BUILD)/deps-prefix)\;$(shell cat $(WINDOWS_BUILD)/exact-prefix) \
  -DSONAVEL_LINUX_BUILD=$(CURDIR)/$(BUILD) $(CMAKE_FLAGS))
windows: windows-deps
	$(windows_configure)
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target sonavel sonavelw sonavel_font
	cmake --build $(WINDOWS_BUILD) --target windows_package

# The Windows unit tests and end-to-end tests under Wine, the headless outputs compared byte for
# byte with those of the Linux build in $(BUILD) (built first).
windows-test: windows build
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	ctest --test-dir $(WINDOWS_BUILD) --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-bench $(BUILD)-fuzz $(DEB_BUILD) $(DIST) $(WINDOWS_BUILD)
