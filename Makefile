# Norvane: make run [FOLDER=...] | make test | make asan | make fuzz | make fuzz-smoke | make bench
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
BUILD_TYPE ?= RelWithDebInfo
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)

.PHONY: all deps configure build test asan fuzz fuzz-smoke bench run package clean

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

run: build
	@$(BUILD)/norvane $(if $(FOLDER),"$(FOLDER)")

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
