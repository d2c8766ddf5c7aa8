# Two commands set everything up on a fresh Debian 12 machine:
#   make run   installs what is missing, builds and starts the program
#   make test  installs what is missing, builds and runs every test headless
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: deps configure build run test bench clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	./$(BUILD)/src/ondro

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

bench: build
	@cmake --build $(BUILD) --target benchmarks -j$(JOBS)
	for b in $(BUILD)/bench/*_bench; do echo "== $$b"; ./$$b || exit 1; done

clean:
	rm -rf $(BUILD)
