# The two commands of the README: `make run` and `make test`. Both install what they need first.
BUILD ?= build
JOBS ?= $(shell nproc)
# make install / uninstall: where to (PREFIX=~/.local needs no root), and a staging root (DESTDIR).
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: all deps configure build run check-display test bench screenshots install uninstall deb clean

all: build

deps:
	@bash scripts/deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# A display first: without one, building (minutes) would only end in that message.
check-display:
	@bash scripts/check-display

run: check-display
	@$(MAKE) --no-print-directory build
	./$(BUILD)/kvr

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

bench: build
	@bash bench/run

screenshots: build
	@bash scripts/screenshots

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall: build
	@BUILD="$(BUILD)" PREFIX="$(PREFIX)" DESTDIR="$(DESTDIR)" bash scripts/uninstall

# The Debian package, copied here so that `apt install ./kelvoro_*.deb` finds it.
deb: build
	rm -rf $(BUILD)/package
	cd $(BUILD) && cpack -G DEB -B "$(abspath $(BUILD))/package"
	rm -f kelvoro_*.deb
	cp $(BUILD)/package/kelvoro_*.deb .

clean:
	rm -rf $(BUILD)
