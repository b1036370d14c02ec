# The project's driver: each target installs what it needs, configures the
# CMake presets it uses and builds them.
#   make demo   build everything and show what was built
#   make test   build everything and run every test layer
#   make dist   build dist/x86/Pelkart.dll
.PHONY: all deps dist host test demo clean

all: dist

deps:
	@scripts/deps.sh

dist: deps
	cmake --preset dll
	cmake --build --preset dll
	cmake --install build/dll --prefix dist

host: deps
	cmake --preset host
	cmake --build --preset host

test: dist host
	ctest --preset host
	ctest --preset dll

demo: dist
	@echo
	@echo "Built:"
	@ls -l dist/x86

clean:
	rm -rf build dist
