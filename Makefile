# The two commands of the README: `make run` and `make test`.
# Both install what is missing, configure and build first.
# `make fuzz` runs every fuzz target for FUZZ_SECONDS each.

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
# Seconds for each fuzz target in `make fuzz`, and for all of them together
# in `make test`.
FUZZ_SECONDS      ?= 300
FUZZ_TEST_SECONDS ?= 60

.PHONY: all deps build build-asan build-fuzz run test test-asan fuzz format clean

all: build

deps:
	@./scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DFLOWTALLY_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)

build-fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DFLOWTALLY_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)

run: build
	./$(BUILD)/bin/flowtally

test: build build-asan build-fuzz
	cd $(BUILD) && ctest --output-on-failure
	cd $(ASAN_BUILD) && ctest --output-on-failure
	./scripts/run-fuzzers --total $(FUZZ_BUILD) $(FUZZ_TEST_SECONDS)

fuzz: build-fuzz
	./scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
