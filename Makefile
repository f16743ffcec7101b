# Front door: every target installs what it needs first.
BUILD      ?= build
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: deps build test test-asan test-tsan demo bench clean windows test-windows demo-windows

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

test-asan:
	$(MAKE) test BUILD=build-asan CMAKE_ARGS="-DQUON_SANITIZE=address" CTEST_ARGS="-L 'unit|integration'"

# The test HTTP server's library is not instrumented; see tests/tsan.supp.
test-tsan:
	TSAN_OPTIONS="$${TSAN_OPTIONS:+$$TSAN_OPTIONS:}suppressions=$(CURDIR)/tests/tsan.supp" $(MAKE) test BUILD=build-tsan CMAKE_ARGS="-DQUON_SANITIZE=thread" CTEST_ARGS="-L 'unit|integration'"

# Windows: cross-built with MinGW-w64 into build-win, tested under Wine.
WIN_BUILD ?= build-win

$(WIN_BUILD)/build.ninja: | deps
	cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake $(CMAKE_ARGS)

windows: deps $(WIN_BUILD)/build.ninja
	cmake --build $(WIN_BUILD) -j $(JOBS)

test-windows: windows
	cd $(WIN_BUILD) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

demo-windows: build windows
	WIN_BUILD=$(CURDIR)/$(WIN_BUILD) scripts/demo-windows

demo: build
	scripts/demo

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUON_BUILD_BENCH=ON
	cmake --build build-bench -j $(JOBS)
	scripts/bench

clean:
	rm -rf build build-asan build-tsan build-bench build-win
