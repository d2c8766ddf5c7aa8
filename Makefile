# Two commands set everything up on a fresh Debian 12 machine:
#   make run   installs what is missing, builds and starts the program
#   make test  installs what is missing, builds and runs every test headless
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: deps configure build run test bench package test-sanitize fuzz clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

# Builds only the program it starts, not the tests.
run: configure
	@cmake --build $(BUILD) --target ondro -j$(JOBS)
	./$(BUILD)/src/ondro

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

bench: build
	@cmake --build $(BUILD) --target benchmarks -j$(JOBS)
	for b in $(BUILD)/bench/*_bench; do echo "== $$b"; ./$$b || exit 1; done

# A Debian package of the program, with its dependencies worked out from
# the libraries it links.
package: build
	cd $(BUILD) && cpack -G DEB

# The whole suite built with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer in its own build folder; any finding fails its
# test. Qt is not instrumented: tests/sanitizer/lsan.supp names its leaks.
# The packaging check is left out: it tests installed files, not memory.
SAN_BUILD ?= build-sanitize
SAN_ENV = ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1 \
          UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
          LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizer/lsan.supp:print_suppressions=0

test-sanitize: deps
	@cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DONDRO_SANITIZE=ON >/dev/null
	@cmake --build $(SAN_BUILD) -j$(JOBS)
	cd $(SAN_BUILD) && $(SAN_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS) -E packaging_install

# libFuzzer harnesses (clang) for every reader of outside bytes, each run for
# FUZZ_SECONDS on a corpus seeded from the test fixtures.
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60

fuzz: deps
	@bash scripts/install-deps.sh fuzz
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DONDRO_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) --target fuzzers -j$(JOBS)
	@bash scripts/make-fuzz-seeds.sh $(FUZZ_BUILD)/fuzz/seeds
	@bash scripts/run-fuzzers.sh $(FUZZ_BUILD)/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD)
