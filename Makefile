# Quillon: the two commands of the quick start are `make demo` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
WINDOWS_BUILD ?= build-windows
FUZZ_SECONDS ?= 60
FUZZ_JOBS ?= 1
JOBS       ?= $(shell nproc)
# The private networks of the end-to-end cases: mostly waiting for replies and timeouts (the 53
# cases take about 5 s of CPU in 390 s), so four times as many run side by side as there are
# cores; `scripts/repeat-tests.sh 2 -j 8 -L e2e` passes beside a busy loop on each core.
E2E_JOBS   ?= 8

# The steps share build folders; the parallelism is inside them (cmake --build -j, ctest -j).
.NOTPARALLEL:
.PHONY: all deps deps-demo deps-windows configure build run demo test unit-test e2e-test check-style format \
        sanitize-test tsan-test fuzz bench clean screenshots package package-test windows \
        windows-test

all: build

# First in every step: installs what is missing, then names anything that the build, the tests,
# the demo or the package call and that scripts/install-deps.sh does not provide.
deps:
	@scripts/install-deps.sh all
	@scripts/check-deps.sh all

deps-demo:
	@scripts/install-deps.sh demo
	@scripts/check-deps.sh demo

deps-windows:
	@scripts/install-deps.sh windows
	@scripts/check-deps.sh windows

# Configured each time (a few seconds), so that a folder first configured by `make demo`, before
# GoogleTest was installed, gets its tests.
CONFIGURE = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
configure:
	@$(CONFIGURE)

# What the tests and the package need: the program, the command-line tool, the simulator and
# the test programs (not the benchmarks).
build: deps configure
	cmake --build $(BUILD) -j $(JOBS)

# The program alone, on the real network, for real devices.
run: deps-demo configure
	cmake --build $(BUILD) -j $(JOBS) --target quillon
	$(BUILD)/src/quillon

# The program with simulated devices, inside a private network namespace. Builds only those two.
demo: deps-demo
	@scripts/demo.sh --tell-display
	@$(CONFIGURE)
	cmake --build $(BUILD) -j $(JOBS) --target quillon quillon-devsim
	scripts/demo.sh $(BUILD)

# Everything: the house rules, unit and widget tests, end-to-end tests in private networks, the
# package, then the unit and widget tests again under AddressSanitizer/UBSan and ThreadSanitizer.
# The first test that fails or hangs stops it, by name (scripts/run-tests.sh).
test: deps check-style unit-test e2e-test package-test sanitize-test tsan-test

# Unit tests (GoogleTest) and widget tests (QtTest, offscreen); no network needed.
unit-test: build
	scripts/run-tests.sh $(BUILD) -j $(JOBS) -L 'unit|gui'

# Each end-to-end case in a private network of its own, so several can run side by side.
e2e-test: build
	@scripts/netns-run.sh --check
	scripts/run-tests.sh $(BUILD) -j $(E2E_JOBS) -L e2e

# Include rules per folder and clang-format over every tracked source.
check-style: deps
	scripts/check-style.sh

format: deps
	git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format -i

# The sanitizer builds use clang, whose sanitizers are the reference ones and which builds them
# in well under half the time GCC takes; the program itself and its package are built by GCC.
SANITIZER_CXX ?= clang++
# A sanitizer folder that an older checkout configured with another compiler starts afresh.
fresh_if_other_compiler = @grep -qs '^CMAKE_CXX_COMPILER:.*$(SANITIZER_CXX)$$' $(1)/CMakeCache.txt || \
  { [ ! -d $(1) ] || echo "$(1): configured for another compiler, starting it afresh"; rm -rf $(1); }

# The unit and widget tests again, built with AddressSanitizer and UBSan (only they are built).
sanitize-test: deps
	$(call fresh_if_other_compiler,$(ASAN_BUILD))
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_CXX_COMPILER=$(SANITIZER_CXX) -DCMAKE_BUILD_TYPE=Debug \
	  -DQUILLON_SANITIZE=address,undefined -DQUILLON_BUILD_E2E=OFF >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS) --target quillon_tests
	ASAN_OPTIONS=detect_leaks=0 scripts/run-tests.sh $(ASAN_BUILD) -j $(JOBS) -L 'unit|gui'

# The tests of the threaded code (the link, the dictionary worker, the session) under
# ThreadSanitizer; core only, no Qt.
tsan-test: deps
	$(call fresh_if_other_compiler,$(TSAN_BUILD))
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_CXX_COMPILER=$(SANITIZER_CXX) -DCMAKE_BUILD_TYPE=Debug \
	  -DQUILLON_SANITIZE=thread -DQUILLON_BUILD_GUI=OFF -DQUILLON_BUILD_E2E=OFF >/dev/null
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target quillon_tests
	TSAN_OPTIONS=halt_on_error=1 scripts/run-tests.sh $(TSAN_BUILD) -j $(JOBS) -L unit

# Each fuzz target for FUZZ_SECONDS (clang, libFuzzer, ASan and UBSan); a finding is kept under
# tests/data/fuzz-regressions/ for the unit tests. `make fuzz FUZZ_SECONDS=600` for a long run,
# FUZZ_JOBS=2 with two processes per target.
fuzz: deps
	FUZZ_JOBS=$(FUZZ_JOBS) scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The table of quillon_bench, then the figures of the Windows programs under Wine; the Linux
# window's start from the table stands beside the Win32 window's.
bench: build windows
	cmake --build $(BUILD) -j $(JOBS) --target quillon_bench quillon_rs485_read quillon_fuzz_seeds
	bash -o pipefail -c 'scripts/netns-run.sh $(BUILD)/tools/devsim/quillon-devsim \
	  $(BUILD)/bench/quillon_bench | tee $(BUILD)/bench-table.md'
	QUILLON_LINUX_START_MS="$$(awk -F'|' '/cold start: process start/ {gsub(/^ +| +$$/, "", $$3); print $$3}' \
	  $(BUILD)/bench-table.md)" \
	QUILLON_LINUX_DISCOVERY="$$(awk -F'|' '/discovery, 1000 devices/ {gsub(/^ +| +$$/, "", $$3); print $$3}' \
	  $(BUILD)/bench-table.md)" \
	QUILLON_LINUX_BURST="$$(awk -F'|' '/burst, 5000 devices/ {gsub(/^ +| +$$/, "", $$3); \
	  match($$6, /[0-9]+ of [0-9]+ devices listed/); print $$3 " (" substr($$6, RSTART, RLENGTH) ")"}' \
	  $(BUILD)/bench-table.md)" FUZZ_BUILD=$(FUZZ_BUILD) \
	  scripts/wine-test.sh --bench $(BUILD) $(WINDOWS_BUILD)

# quillon.exe (the window), quillon-cli.exe and quillon-devsim.exe (static, 64-bit) with Debian's
# MinGW-w64, the unit and window tests and the profile look-up program for Windows,
# $(WINDOWS_BUILD)/quillon-VERSION-windows-x64.zip and the installer
# $(WINDOWS_BUILD)/quillon-VERSION-windows-x64-setup.exe (NSIS).
windows: deps-windows
	@[ -f $(WINDOWS_BUILD)/CMakeCache.txt ] || cmake -S . -B $(WINDOWS_BUILD) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DQUILLON_BUILD_GUI=OFF
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# The Windows programs under Wine in a private network: their unit tests, the INI differential
# against Wine's profile functions, the window's tests, both tools end to end against the Linux
# ones, the window end to end against the Qt window, and the installer.
windows-test: build windows
	cmake --build $(BUILD) -j $(JOBS) --target quillon_fuzz_seeds quillon_window_steps
	FUZZ_BUILD=$(FUZZ_BUILD) scripts/wine-test.sh $(BUILD) $(WINDOWS_BUILD)

# The Debian package (build/quillon_VERSION_ARCH.deb): program, command-line tool, simulator,
# desktop entry, icon, man pages. `sudo apt install ./build/quillon_*.deb` installs it.
package: build
	cd $(BUILD) && cpack

# Unpacks the package into a scratch root and starts the installed program in a private network;
# stopped, by name, if it hangs.
package-test: package
	@timeout --foreground 300 scripts/package-test.sh $(BUILD) || \
	  { s=$$?; [ $$s -ne 124 ] || echo "package-test: hung, stopped after 300 s" >&2; exit $$s; }

screenshots: build windows
	scripts/screenshots.sh $(BUILD) $(WINDOWS_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD)
