# Quillon: the two commands of the quick start are `make demo` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)

.PHONY: all deps build run demo test unit-test gui-test e2e-test sanitize-test tsan-test bench clean screenshots

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

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -L 'unit|gui'
	cd $(BUILD) && ctest --output-on-failure -L e2e
	$(MAKE) sanitize-test tsan-test

# The unit and widget tests again, built with AddressSanitizer and UBSan.
sanitize-test: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=address,undefined
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j $(JOBS) -L 'unit|gui'

# The link and worker tests under ThreadSanitizer (core only, no Qt).
tsan-test: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=thread -DQUILLON_BUILD_GUI=OFF
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target unit_tests
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) \
	  -R '^(UdpLink|DictionaryWorker|ConfigSession|LogText)'

bench: build
	scripts/netns-run.sh $(BUILD)/tools/devsim/quillon-devsim $(BUILD)/bench/dictionary_bench

screenshots: build
	scripts/screenshots.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)
