# The commands of the README: `make run`, `make test` and `make package`.
# Each installs what is missing, configures and builds first. `make fuzz`
# runs every fuzz target for FUZZ_SECONDS each.

BUILD         ?= build
ASAN_BUILD    ?= build-asan
PACKAGE_BUILD ?= build-package
FUZZ_BUILD    ?= build-fuzz
TSAN_BUILD    ?= build-tsan
JOBS          ?= $(shell nproc)
# Seconds for each fuzz target in `make fuzz`, and for all of them together
# in `make test`.
FUZZ_SECONDS      ?= 300
FUZZ_TEST_SECONDS ?= 60

.PHONY: all deps build build-asan build-fuzz build-tsan package test-package run test tsan fuzz \
	bench format clean

all: build

deps:
	@./scripts/install-deps

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DFLOWTALLY_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)

build-tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DFLOWTALLY_THREAD_SANITIZE=ON >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS)

build-fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DFLOWTALLY_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)

# The Debian package, $(PACKAGE_BUILD)/flowtally_VERSION_ARCH.deb: a Release
# build with Debian's hardening flags, packed by CPack.
package: deps
	@cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DFLOWTALLY_PACKAGE_CHECKS=ON \
		-DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" >/dev/null
	@cmake --build $(PACKAGE_BUILD) --target package -j $(JOBS)

# The package's checks: lintian, the metadata validators, the installed program.
test-package: package
	@cmake --build $(PACKAGE_BUILD) --target test_package -j $(JOBS)
	cd $(PACKAGE_BUILD) && ctest --output-on-failure

run: build
	./$(BUILD)/bin/flowtally

test: build build-asan build-fuzz
	cd $(BUILD) && ctest --output-on-failure
	cd $(ASAN_BUILD) && ctest --output-on-failure
	@$(MAKE) --no-print-directory tsan
	./scripts/run-fuzzers --total $(FUZZ_BUILD) $(FUZZ_TEST_SECONDS)
	@$(MAKE) --no-print-directory test-package

# Every test but the system tests under ThreadSanitizer; any race it sees
# fails the test. The system tests start Flowtally and their helpers through
# QProcess, whose vfork start ThreadSanitizer cannot follow.
tsan: build-tsan
	cd $(TSAN_BUILD) && TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp" \
		ctest --output-on-failure -LE system

fuzz: build-fuzz
	./scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Builds the benchmarks, runs them all and prints one table of their figures.
bench: deps
	@JOBS=$(JOBS) ./scripts/bench $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(PACKAGE_BUILD) $(FUZZ_BUILD) $(TSAN_BUILD)
