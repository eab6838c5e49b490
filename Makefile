# Quillon: the two commands of the quick start are `make demo` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
WINDOWS_BUILD ?= build-windows
FUZZ_SECONDS ?= 60
FUZZ_JOBS ?= 1
JOBS       ?= $(shell nproc)

.PHONY: all deps build run demo test unit-test e2e-test check-style format sanitize-test \
        tsan-test fuzz bench clean screenshots package package-test windows windows-test

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The program alone, on the real network, for real devices.
run: build
	$(BUILD)/src/quillon

# The program with simulated devices, inside a private network namespace.
demo: build
	scripts/demo.sh $(BUILD)

# Everything: the house rules, unit and widget tests, end-to-end tests in private networks,
# then the unit and widget tests again under AddressSanitizer/UBSan and ThreadSanitizer.
test: check-style unit-test e2e-test package-test
	$(MAKE) sanitize-test tsan-test

# Unit tests (GoogleTest) and widget tests (QtTest, offscreen); no network needed.
unit-test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L 'unit|gui'

# Each end-to-end case in a private network of its own, so two can run side by side.
e2e-test: build
	@scripts/netns-run.sh --check
	cd $(BUILD) && ctest --output-on-failure -j 2 -L e2e

# Include rules per folder and clang-format over every tracked source.
check-style: deps
	scripts/check-style.sh

format: deps
	git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format -i

# The unit and widget tests again, built with AddressSanitizer and UBSan (nothing else built).
sanitize-test: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=address,undefined \
	  -DQUILLON_BUILD_E2E=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j $(JOBS) -L 'unit|gui'

# The link, worker and session tests under ThreadSanitizer (core only, no Qt).
tsan-test: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=thread \
	  -DQUILLON_BUILD_GUI=OFF -DQUILLON_BUILD_E2E=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target unit_tests
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) \
	  -R '^(UdpLink|DictionaryWorker|ConfigSession|LogText)'

# Each fuzz target for FUZZ_SECONDS (clang, libFuzzer, ASan and UBSan); a finding is kept under
# tests/data/fuzz-regressions/ for the unit tests. `make fuzz FUZZ_SECONDS=600` for a long run,
# FUZZ_JOBS=2 with two processes per target.
fuzz: deps
	FUZZ_JOBS=$(FUZZ_JOBS) scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: build windows
	scripts/netns-run.sh $(BUILD)/tools/devsim/quillon-devsim $(BUILD)/bench/quillon_bench
	FUZZ_BUILD=$(FUZZ_BUILD) scripts/wine-test.sh --bench $(BUILD) $(WINDOWS_BUILD)

# quillon-cli.exe and quillon-devsim.exe (static, 64-bit) with Debian's MinGW-w64, the unit tests
# and the profile look-up program for Windows, and $(WINDOWS_BUILD)/quillon-VERSION-windows-x64.zip.
windows: deps
	@[ -f $(WINDOWS_BUILD)/CMakeCache.txt ] || cmake -S . -B $(WINDOWS_BUILD) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DQUILLON_BUILD_GUI=OFF
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

# The Windows programs under Wine in a private network: their unit tests, the INI differential
# against Wine's profile functions, and both tools end to end against the Linux ones.
windows-test: build windows
	FUZZ_BUILD=$(FUZZ_BUILD) scripts/wine-test.sh $(BUILD) $(WINDOWS_BUILD)

# The Debian package (build/quillon_VERSION_ARCH.deb): program, simulator, desktop entry, icon,
# man pages. `sudo apt install ./build/quillon_*.deb` installs it.
package: build
	cd $(BUILD) && cpack

# Unpacks the package into a scratch root and starts the installed program in a private network.
package-test: package
	scripts/package-test.sh $(BUILD)

screenshots: build
	scripts/screenshots.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD)
