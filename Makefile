# The two commands of the README: `make run` and `make test`. Both install what they need first.
BUILD ?= build
JOBS ?= $(shell nproc)
# make install / uninstall: where to (PREFIX=~/.local needs no root), and a staging root (DESTDIR).
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: all deps configure build program run check-display test test-debian13 sanitize fuzz bench screenshots install uninstall deb clean

all: build

deps:
	@bash scripts/deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The program and what its package installs, without the test suite.
program: configure
	cmake --build $(BUILD) -j $(JOBS) --target kvr kvr_documents

# A display first: without one, building (minutes) would only end in that message.
check-display:
	@bash scripts/check-display

run: check-display
	@$(MAKE) --no-print-directory program
	./$(BUILD)/kvr

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

# The build and the whole suite again in a Debian 13 system (root or sudo; the system is made
# on first use and kept in /var/cache/kelvoro/debian13).
test-debian13:
	@bash scripts/debian13

# The whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer (clang), halting at
# the first report, leaks checked. Suppressions name third-party libraries only.
SAN_BUILD ?= build-san
SAN_FLAGS := halt_on_error=1:abort_on_error=1:print_stacktrace=1
export ASAN_OPTIONS ?= $(SAN_FLAGS):detect_leaks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS ?= $(SAN_FLAGS)
export LSAN_OPTIONS ?= suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0

sanitize: deps
	@test -f $(SAN_BUILD)/CMakeCache.txt || cmake -S . -B $(SAN_BUILD) \
	  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS=-O1 -DKVR_SANITIZE=ON
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 900

# Each libFuzzer target for FUZZ_SECONDS, one after the other, on one core; fuzz/corpus/<name>/
# keeps the smallest set of inputs that covers what was reached (`-merge`), so it stays small.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?= $(patsubst fuzz/%_fuzz.cpp,%,$(wildcard fuzz/*_fuzz.cpp))

fuzz: deps
	@test -f $(FUZZ_BUILD)/CMakeCache.txt || cmake -S . -B $(FUZZ_BUILD) \
	  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DKVR_FUZZ=ON \
	  "-DCMAKE_CXX_FLAGS=-O1 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@for t in $(FUZZ_TARGETS); do \
	  bash fuzz/run $(FUZZ_BUILD)/fuzz/fuzz_$$t fuzz/corpus/$$t $(FUZZ_SECONDS) || exit 1; \
	done

bench: build
	@bash bench/run

screenshots: build
	@bash scripts/screenshots

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall: build
	@BUILD="$(BUILD)" PREFIX="$(PREFIX)" DESTDIR="$(DESTDIR)" bash scripts/uninstall

# The Debian package, copied here so that `apt install ./kelvoro_*.deb` finds it.
deb: program
	rm -rf $(BUILD)/package
	cd $(BUILD) && cpack -G DEB -B "$(abspath $(BUILD))/package"
	rm -f kelvoro_*.deb
	cp $(BUILD)/package/kelvoro_*.deb .

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD)
