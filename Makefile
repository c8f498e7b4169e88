# make run   installs what is missing, builds and starts the program
# make test  installs what is missing, builds with warnings as errors and runs every test
# make test-asan  the same tests under AddressSanitizer and UndefinedBehaviorSanitizer

BUILD_DIR ?= build
ASAN_DIR ?= build-asan
JOBS ?= $(shell nproc)

.PHONY: all deps build run test test-asan clean format

all: build

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYCLOCK_WERROR=ON
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run-program $(BUILD_DIR)/bin/tallyclock-suite

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure

test-asan: deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DTALLYCLOCK_WERROR=ON -DTALLYCLOCK_SANITIZE=ON
	cmake --build $(ASAN_DIR) -j $(JOBS)
	ctest --test-dir $(ASAN_DIR) --output-on-failure

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)

BENCH_DIR ?= build-release
.PHONY: bench
bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DTALLYCLOCK_TESTS=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS) --target tallyclock-bench
	QT_QPA_PLATFORM=offscreen $(BENCH_DIR)/bin/tallyclock-bench
