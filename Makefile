# Tessaloom: `make run` sets up, builds and starts the program; `make test` sets up,
# builds and runs every test layer. Both work as root on a fresh Debian 12 machine.
SHELL := /bin/bash
ROOT := $(CURDIR)
BUILD ?= $(ROOT)/build
# Scripts find the build tree (and its private Wine prefix) here.
export TL_BUILD := $(BUILD)
JOBS ?= $(shell nproc)
CMAKE_GEN := -G Ninja

.PHONY: setup native win bench-build run test test-native test-win test-e2e test-faults test-avi-limit fuzz package test-package bench perf screenshot longrun clean

setup:
	@bash scripts/setup.sh

native: setup
	@cmake -S . -B $(BUILD)/native $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTL_SANITIZE=ON >/dev/null
	@cmake --build $(BUILD)/native -j $(JOBS)

win: setup
	@cmake -S . -B $(BUILD)/win $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_CROSSCOMPILING_EMULATOR=$(ROOT)/scripts/wine-exec.sh >/dev/null
	@cmake --build $(BUILD)/win -j $(JOBS)

bench-build: setup
	@cmake -S . -B $(BUILD)/bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DTL_BENCH=ON -DTL_TESTS=OFF >/dev/null
	@cmake --build $(BUILD)/bench -j $(JOBS)

test-native: native
	@cd $(BUILD)/native && ctest --output-on-failure -j $(JOBS)

test-win: win
	@scripts/with-display.sh bash -c 'cd $(BUILD)/win && ctest --output-on-failure'

test-e2e: win
	@scripts/with-display.sh scripts/e2e.sh
	@TL_XVFB=1 scripts/with-display.sh scripts/journeys.sh

# The README's picture: the main window with a calibrated measurement on the live picture.
screenshot: win
	@TL_XVFB=1 scripts/with-display.sh scripts/journeys.sh --screenshot $(ROOT)/docs/screenshot.png

# The real program under faults: broken settings, unplugging while recording, a full disk, a
# read-only or vanished image folder, a stalled and a damaging camera, 100 plug cycles.
test-faults: win
	@scripts/faults.sh

# A 1080p recording of about twelve seconds split at the real file-size limit: 2.2 GB written
# to build/win/test-files, read back whole and deleted. Not part of `make test`.
test-avi-limit: win
	@TL_AVI_LIMIT=1 TL_WINE_TIMEOUT=$${TL_WINE_TIMEOUT:-900} scripts/with-display.sh scripts/wine-exec.sh \
	  $(BUILD)/win/tests/record_dialog_test.exe --gtest_filter='RecordDialogAtTheFileLimit.*'

# libFuzzer targets, FUZZ_SECONDS each (20 by default) on the committed seed corpus.
fuzz: setup
	@scripts/fuzz.sh

# The Windows package (portable zip and installer) in build/package/.
package: win
	@scripts/package.sh

# Installs, runs and uninstalls the package in a Wine prefix of its own.
test-package: package
	@WINEPREFIX=$(BUILD)/wineprefix-package scripts/with-display.sh scripts/package-test.sh

test: test-native fuzz test-win test-e2e test-faults test-package

run: win
	@scripts/run.sh

bench: bench-build win
	@$(BUILD)/bench/bench/tessaloom_bench $(BENCH_ARGS)
	@scripts/with-display.sh scripts/wine-exec.sh $(BUILD)/win/bench/record/record_bench.exe

# The running program at 1080p30 on the simulated microscope, state by state, beside the
# TurboJPEG anchor measured in the same run (build/perf/table.txt). Not part of `make test`.
perf: win bench-build
	@scripts/perf.sh

# LONGRUN_MINUTES (30) of 1080p MJPG preview with overlay while recording in split files;
# figures in build/longrun/. Not part of `make test`.
longrun: win
	@scripts/longrun.sh

clean:
	rm -rf $(BUILD)/native $(BUILD)/win $(BUILD)/bench $(BUILD)/fuzz $(BUILD)/package
