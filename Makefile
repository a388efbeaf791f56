# One entry point for every configuration.
#   make          build everything and run the installer under Wine (the main job)
#   make test     build everything and run every test suite
# BUILD=<dir> puts the build trees elsewhere (default: build).

BUILD ?= build
JOBS ?= $(shell nproc)
ROOT := $(abspath .)
B := $(abspath $(BUILD))
CMAKE_GEN := $(shell command -v ninja >/dev/null 2>&1 && echo -G Ninja)
CTEST := ctest --output-on-failure -j$(JOBS)

.PHONY: all run deps native asan win32 win64 build test test-native test-asan test-win32 test-win64 fuzz bench format clean

all: run

deps:
	@$(ROOT)/scripts/install-deps.sh

native: deps
	cmake -S . -B $(B)/native $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(B)/native -j$(JOBS)

asan: native
	cmake -S . -B $(B)/asan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DKB_SANITIZE=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
	  -DKB_HOST_TOOLS_DIR=$(B)/native
	cmake --build $(B)/asan -j$(JOBS)

win32: native
	cmake -S . -B $(B)/win32 $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=MinSizeRel \
	  -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/toolchain-i686-mingw.cmake -DKB_HOST_TOOLS_DIR=$(B)/native
	cmake --build $(B)/win32 -j$(JOBS)

win64: native
	cmake -S . -B $(B)/win64 $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=MinSizeRel \
	  -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/toolchain-x86_64-mingw.cmake -DKB_HOST_TOOLS_DIR=$(B)/native
	cmake --build $(B)/win64 -j$(JOBS)

build: native asan win32 win64

test-native: native
	cd $(B)/native && $(CTEST)

test-asan: asan
	cd $(B)/asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST)

# Windows tests: a display for the tests that open windows (Xvfb when there is none).
test-win32: win32
	cd $(B)/win32 && $(ROOT)/tools/wine/with-display.sh $(CTEST)

test-win64: win64
	cd $(B)/win64 && $(ROOT)/tools/wine/with-display.sh $(CTEST)

test: deps
	@$(ROOT)/tools/run-all-tests.sh $(MAKE) BUILD=$(BUILD)

run: win32
	@$(ROOT)/tools/run-installer.sh $(B)/win32

fuzz: native
	cmake -S . -B $(B)/fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKB_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
	  -DKB_HOST_TOOLS_DIR=$(B)/native
	cmake --build $(B)/fuzz -j$(JOBS)
	@echo "fuzz targets: $(B)/fuzz/bin/fuzz_*  (run: make fuzz-run SECONDS=180)"

SECONDS ?= 60
fuzz-run: fuzz
	@for f in $(B)/fuzz/bin/fuzz_*; do echo "== $$f"; mkdir -p $(B)/fuzz/corpus/$$(basename $$f); \
	  $$f -max_total_time=$(SECONDS) -print_final_stats=1 $(B)/fuzz/corpus/$$(basename $$f) || exit 1; done

bench: native
	@for b in $(B)/native/bin/bench_*; do echo "== $$b"; $$b; done

format:
	git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i

clean:
	rm -rf $(B)
