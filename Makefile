# Front door: make deps | build | test | asan | tsan | demo | bench | fuzz
SHELL := /bin/bash
PACKAGES := cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev googletest \
            qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev xvfb xauth fonts-dejavu-core \
            pkg-config libudev-dev ser2net
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build test asan tsan demo bench fuzz clean

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

build: deps
	cmake --preset default
	cmake --build --preset default

test: build
	QT_QPA_PLATFORM=offscreen ctest --preset default

asan: deps
	cmake --preset asan
	cmake --build --preset asan
	QT_QPA_PLATFORM=offscreen ctest --preset asan

# The panel toolkit, the Qt view and the application suites under ThreadSanitizer.
tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan
	QT_QPA_PLATFORM=offscreen ctest --preset tsan

demo: build
	scripts/demo.sh

bench: build
	scripts/bench.sh

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz
	scripts/fuzz.sh

clean:
	rm -rf build build-asan build-tsan build-fuzz
