# The project's driver: each target installs what it needs, configures the
# CMake presets it uses and builds them.
#   make demo           build everything, then read the simulator's sample card
#                       through Pelkart.dll under Wine, as a VBA macro would
#   make test           build everything and run every test layer
#   make test-windows   run only the Windows conformance tests under Wine
#   make dist           build dist/: Pelkart.dll and the reader simulator felica.dll for
#                       x86 and x64, Pelkart.bas
#   make bench          measure the module's own cost per call, and its size
.PHONY: all deps deps-wine dist host test test-windows demo bench clean

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

test: dist host deps-wine
	ctest --preset host
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

clean:
	rm -rf build dist
