# The two commands of the README. Each installs what is missing and builds first.
PRESET ?= default
BUILD_DIR := build
JOBS ?= $(shell nproc)

.PHONY: all deps build test run package asan clean format

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake --preset $(PRESET) >/dev/null
	@cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	@ctest --preset $(PRESET) -j $(JOBS)

run: build
	@scripts/run-demo

# The Debian package of the default build: build/quor-client_<version>_<arch>.deb.
package: build
	@cmake --build --preset $(PRESET) --target package

asan:
	@$(MAKE) --no-print-directory test PRESET=asan

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-tsan build-fuzz
