# The project's driver: each target installs what it needs, configures the
# CMake presets it uses and builds them.
#   make demo           build everything, then read the simulator's sample card
#                       through Pelkart.dll under Wine, as a VBA macro would
#   make test           build everything and run every test layer
#   make test-windows   run only the Windows conformance tests under Wine
#   make dist           build dist/: Pelkart.dll and the reader simulator felica.dll for
#                       x86 and x64, Pelkart.bas
#   make bench          measure the module's own cost per call, and its size
#   make fuzz           fuzz every export for FUZZ_SECONDS (default 60) over a copy
#                       of fuzz/corpus; make fuzz FUZZ_SECONDS=3600 for a long run
.PHONY: all deps deps-wine dist host test test-windows demo bench fuzz clean

FUZZ_SECONDS ?= 60
FUZZ_DIR := build/fuzz

all: dist

deps:
	@scripts/deps.sh

deps-wine:
	@scripts/deps.sh wine

# Each Windows layer twice: for 32-bit (x86) and for 64-bit (x64) Windows.
WINDOWS_PRESETS = dll dll-x64 windows windows-x64

dist: deps
	@set -e; for preset in $(WINDOWS_PRESETS); do \
	    echo "-- $$preset"; \
	    cmake --preset $$preset; \
	    cmake --build --preset $$preset; \
	    cmake --install build/$$preset --prefix dist; \
	done

host: deps
	cmake --preset host
	cmake --build --preset host
	cmake --preset host-sanitized
	cmake --build --preset host-sanitized

test: dist host deps-wine fuzz
	ctest --preset host
	@echo "Host figures:"
	@build/host/tests/host/host_tests --gtest_filter='FaultMatrix.*:Concurrency.*' --gtest_brief=1 \
	    | grep -E '^(fault points|threads x calls)'
	ctest --preset host-sanitized
	ctest --preset dll
	ctest --preset dll-x64
	ctest --preset windows-x64 --repeat until-pass:2
	ctest --preset windows --repeat until-pass:2

# A second try covers Wine itself failing to start a program, which happens
# now and then where it runs under an emulator; the tests are deterministic.
test-windows: dist deps-wine
	ctest --preset windows-x64 --repeat until-pass:2
	ctest --preset windows --repeat until-pass:2

demo: dist deps-wine
	@echo
	@echo "Built:"
	@ls -l dist/x86 dist/x64
	@echo
	timeout 900 scripts/wine-run.sh build/windows-x64/examples/demo.exe dist/x64
	@echo
	timeout 1800 scripts/wine-run.sh build/windows/examples/demo.exe dist/x86

bench: dist
	cmake --preset bench
	cmake --build --preset bench --target pelkart_bench
	build/bench/bench/pelkart_bench --benchmark_color=false

# libFuzzer grows its corpus in the copy, never in fuzz/corpus; a fault found
# leaves its input in build/fuzz/artifacts/ and fails the target.
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	rm -rf $(FUZZ_DIR)/corpus $(FUZZ_DIR)/artifacts
	mkdir -p $(FUZZ_DIR)/corpus $(FUZZ_DIR)/artifacts
	cp fuzz/corpus/* $(FUZZ_DIR)/corpus/
	@echo "fuzz: $(FUZZ_SECONDS) s over a copy of fuzz/corpus; libFuzzer's output goes to $(FUZZ_DIR)/fuzz.log"
	@$(FUZZ_DIR)/fuzz/pelkart_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -timeout=10 \
	    -artifact_prefix=$(FUZZ_DIR)/artifacts/ -print_final_stats=1 $(FUZZ_DIR)/corpus \
	    >$(FUZZ_DIR)/fuzz.log 2>&1 \
	    || { tail -n 60 $(FUZZ_DIR)/fuzz.log; echo "fuzz: FAILED; the input is in $(FUZZ_DIR)/artifacts/"; exit 1; }
	@sed -n 's/^Done \([0-9]*\) runs in .*/fuzz executions: \1/p' $(FUZZ_DIR)/fuzz.log | grep . \
	    || { echo "fuzz: libFuzzer reported no runs; see $(FUZZ_DIR)/fuzz.log"; exit 1; }

clean:
	rm -rf build dist
