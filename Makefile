# make run   installs what is missing, builds and starts the program
# make test  installs what is missing, builds with warnings as errors and runs every test
# make test-asan  the same tests under AddressSanitizer and UndefinedBehaviorSanitizer
# make install  installs under PREFIX (default /usr/local; sudo when PREFIX is not writable for you)
# make package  builds the Debian package; make test-package installs, starts and removes it
# make fuzz  builds the date and time readers with clang's libFuzzer and runs them (FUZZ_SECONDS)

BUILD_DIR ?= build
ASAN_DIR ?= build-asan
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local

.PHONY: all deps build run test test-asan clean format install package test-package

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

install: build
	@if mkdir -p "$(DESTDIR)$(PREFIX)" 2>/dev/null && [ -w "$(DESTDIR)$(PREFIX)" ]; then \
		DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"; \
	else \
		echo "make install: $(DESTDIR)$(PREFIX) is not writable for you; installing with sudo"; \
		sudo env DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"; \
	fi

package: build
	cd $(BUILD_DIR) && cpack -G DEB

test-package: package
	scripts/test-package $(BUILD_DIR)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)

BENCH_DIR ?= build-release
.PHONY: bench
bench: deps
	cmake -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DTALLYCLOCK_TESTS=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS) --target tallyclock-bench
	QT_QPA_PLATFORM=offscreen $(BENCH_DIR)/bin/tallyclock-bench

FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
.PHONY: fuzz
fuzz:
	@scripts/install-deps fuzz
	cmake -S fuzz -B $(FUZZ_DIR) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	mkdir -p $(FUZZ_DIR)/corpus
	$(FUZZ_DIR)/fuzz-datetexts -max_total_time=$(FUZZ_SECONDS) -max_len=64 -dict=fuzz/datetexts.dict \
		-artifact_prefix=$(FUZZ_DIR)/ $(FUZZ_DIR)/corpus fuzz/corpus/datetexts
