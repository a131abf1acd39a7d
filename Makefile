# The commands of the README: `make run`, `make test` and `make package`.
# Each installs what is missing, configures and builds first. `make fuzz`
# runs every fuzz target for FUZZ_SECONDS each.

BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)
# Seconds for each fuzz target in `make fuzz`, and for all of them together
# in `make test`.
FUZZ_SECONDS      ?= 300
FUZZ_TEST_SECONDS ?= 60
# Where `make test` notes the wall time of its phases.
TIMES ?= $(BUILD)/test-times.tsv

# A new tree is made with Ninja; a tree made before keeps its generator.
generator = $(if $(wildcard $(1)/CMakeCache.txt),,-G Ninja)
# The plain tree is built as Debian builds the package, which it makes: with
# Debian's hardening flags.
debian_flags = -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	-DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)"
# The sanitizer trees: assertions on, -O1 as the sanitizers advise, and the
# line tables that their reports need.
sanitizer_flags = -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
	-DCMAKE_C_FLAGS_DEBUG="-O1 -g1"
ctest = ctest --output-on-failure -j $(JOBS)
timed = ./scripts/timed $(TIMES)
beside = ./scripts/timed --beside $(TIMES)

.PHONY: all deps configure build build-asan build-tsan package test-package run \
	test test-build test-asan tsan fuzz bench format clean

all: build

deps:
	@./scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(call generator,$(BUILD)) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		$(debian_flags) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# The AddressSanitizer tree is built with clang, whose libFuzzer the fuzz
# targets need: they are built there beside the tests.
build-asan: deps
	@CC=clang CXX=clang++ cmake -S . -B $(ASAN_BUILD) $(call generator,$(ASAN_BUILD)) \
		$(sanitizer_flags) -DFLOWTALLY_SANITIZE=ON -DFLOWTALLY_FUZZ=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)

build-tsan: deps
	@cmake -S . -B $(TSAN_BUILD) $(call generator,$(TSAN_BUILD)) $(sanitizer_flags) \
		-DFLOWTALLY_THREAD_SANITIZE=ON >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS)

# The Debian package, $(BUILD)/flowtally_VERSION_ARCH.deb, packed by CPack
# from the plain tree: the programs its tests ran, stripped.
package: build
	@cmake --build $(BUILD) --target package -j $(JOBS)

# The package's checks: lintian, the metadata validators, the installed program.
test-package: package
	cd $(BUILD) && $(ctest) -L package

run: build
	./$(BUILD)/bin/flowtally

# Every tree built and tested, and the time each phase took. The plain tree
# runs the unit, process and window tests (the long soak run among them);
# the AddressSanitizer tree the same and the system tests; the
# ThreadSanitizer tree the tests of the code that runs threads. The tests
# mostly wait (for ticks, timers, the program under test), so the next
# trees are built beside them at a lower priority (nice 10: the tests come
# first, yet other work on the machine does not starve the build), and the
# fuzz targets run beside the last tests.
test: deps
	@mkdir -p $(BUILD) && ./scripts/timed --start $(TIMES)
	@$(timed) "build/: configure and build" $(MAKE) --no-print-directory build
	@$(beside) "build-asan/: configure and build, beside" $(MAKE) --no-print-directory build-asan
	@$(timed) "build/: tests" $(MAKE) --no-print-directory test-build
	@$(timed) "package: made and checked" $(MAKE) --no-print-directory test-package
	@./scripts/timed --wait $(TIMES)
	@$(beside) "build-tsan/: configure and build, beside" $(MAKE) --no-print-directory build-tsan
	@$(timed) "build-asan/: tests, system tests" $(MAKE) --no-print-directory test-asan
	@./scripts/timed --wait $(TIMES)
	@$(beside) "fuzzing, $(FUZZ_TEST_SECONDS) s in all, beside" \
		./scripts/run-fuzzers --total $(ASAN_BUILD) $(FUZZ_TEST_SECONDS)
	@$(timed) "build-tsan/: tests" $(MAKE) --no-print-directory test-tsan
	@./scripts/timed --wait $(TIMES)
	@./scripts/timed --table $(TIMES)

test-build:
	cd $(BUILD) && $(ctest) -LE package

test-asan:
	cd $(ASAN_BUILD) && $(ctest)

# The tests of the code that runs threads under ThreadSanitizer; any race it
# sees fails the test. Not the system tests: they start Flowtally and their
# helpers through QProcess, whose vfork start ThreadSanitizer cannot follow.
tsan: build-tsan test-tsan

test-tsan:
	cd $(TSAN_BUILD) && TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp" $(ctest)

fuzz: build-asan
	./scripts/run-fuzzers $(ASAN_BUILD) $(FUZZ_SECONDS)

# Builds the benchmarks, runs them all and prints one table of their figures.
bench: configure
	@JOBS=$(JOBS) ./scripts/bench $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)
