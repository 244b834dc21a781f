# Norvane: make run [FOLDER=...] | make test | make asan | make tsan | make fuzz | make fuzz-smoke | make bench | make bench-share | make windows | make windows-test
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
TSAN_BUILD ?= build-tsan
WINDOWS_BUILD ?= build-windows
BUILD_TYPE ?= RelWithDebInfo
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)

.PHONY: all deps configure build test asan tsan fuzz fuzz-smoke bench bench-share run package clean windows windows-test

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@mkdir -p $(BUILD)/xdg-runtime && chmod 700 $(BUILD)/xdg-runtime
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Every test, the window tests with Qt included, under the address and
# undefined-behaviour sanitizers.
asan: deps
	@cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DNORVANE_SANITIZE=ON \
	  -DNORVANE_WITH_QT=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@mkdir -p $(ASAN_BUILD)/xdg-runtime && chmod 700 $(ASAN_BUILD)/xdg-runtime
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# The unit tests (the scan's threads and the lister run in-process among
# them) and the window tests (the window taking rows from the scan's
# workers) under the thread sanitizer. The end-to-end script stays out: some
# of its runs hide /proc, where the sanitizer's runtime writes warnings of
# its own to standard error.
tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DNORVANE_TSAN=ON -DNORVANE_WITH_QT=ON >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS)
	@mkdir -p $(TSAN_BUILD)/xdg-runtime && chmod 700 $(TSAN_BUILD)/xdg-runtime
	cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan-suppressions.txt" \
	  ctest --output-on-failure -j $(JOBS) -R '^(unit|window_.*)$$'

# norvane-list.exe and the unit tests for Windows, cross-built with
# mingw-w64; SQLite from its amalgamation (scripts/sqlite-amalgamation).
windows: deps
	@scripts/sqlite-amalgamation $(WINDOWS_BUILD)/sqlite
	@cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DNORVANE_SQLITE_AMALGAMATION=$(CURDIR)/$(WINDOWS_BUILD)/sqlite >/dev/null
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target norvane-list norvane_unit_tests

# The Windows build under Wine (a fresh prefix, no display): its unit tests,
# the lister's end-to-end tests, and the same bytes as the Linux build.
windows-test: windows build
	tests/windows/run.sh $(WINDOWS_BUILD) $(BUILD)

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DNORVANE_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@set -e; for f in $(FUZZ_BUILD)/Fuzz*; do \
	  name=$$(basename $$f); corpus=$(FUZZ_BUILD)/corpus-$$name; mkdir -p $$corpus; \
	  seeds=tests/fuzz/seeds/$$name; [ -d $$seeds ] || seeds=; \
	  echo "fuzz: $$name for $(FUZZ_SECONDS) s"; \
	  log=$(FUZZ_BUILD)/log-$$name.txt; rc=0; \
	  $$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/ \
	    $$corpus $$seeds >$$log 2>&1 || rc=$$?; \
	  tail -n 12 $$log; [ $$rc -eq 0 ] || exit $$rc; \
	  echo "fuzz: $$name reached $$(sed -n 's/.*DONE *cov: \([0-9]*\).*/\1/p' $$log) of" \
	    "$$(sed -n 's/.*(\([0-9]*\) inline 8-bit counters).*/\1/p' $$log | head -n 1) edges"; \
	done

# Every fuzz target for 30 s: what CI runs.
fuzz-smoke:
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=30

bench: build
	@bench/run.sh $(BUILD)

# The Debian package, in $(BUILD)/: norvane_<version>_<arch>.deb.
package: build
	cd $(BUILD) && cpack -G DEB

bench-share: build
	@bench/share.sh $(BUILD)

run: build
	@$(BUILD)/norvane $(if $(FOLDER),"$(FOLDER)")

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD)
