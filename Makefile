# Thin wrapper: every target installs what is missing and builds first.
BUILD ?= build
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
export QTWEBENGINE_CHROMIUM_FLAGS ?= --no-sandbox

.PHONY: all deps build run test bench clean screenshots install package

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/kolvani

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

package: build
	cd $(BUILD) && cpack -G DEB

bench: build
	@scripts/bench.sh $(BUILD)

screenshots: build
	@scripts/screenshots.sh $(BUILD)

clean:
	rm -rf $(BUILD)
