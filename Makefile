# Front door: make deps | build | test | asan | tsan | demo | bench | fuzz | package | format | lint
SHELL := /bin/bash
PACKAGES := cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev googletest \
            qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev xvfb xauth fonts-dejavu-core \
            dpkg-dev desktop-file-utils man-db groff-base clang-format clang-tidy \
            pkg-config libudev-dev ser2net
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
# WERROR=ON turns compiler warnings into errors (CI does); unset, the build keeps its setting.
WERROR ?=
CMAKE_WERROR = $(if $(WERROR),-DTLX1_WERROR=$(WERROR))
# Every C++ source of ours (the fuzz corpora are data).
SOURCES = $(shell git ls-files '*.cpp' '*.h')

.PHONY: deps build test asan tsan demo bench fuzz package format lint handbuch-bilder clean

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

build: deps
	cmake --preset default $(CMAKE_WERROR)
	cmake --build --preset default

test: build
	QT_QPA_PLATFORM=offscreen ctest --preset default

asan: deps
	cmake --preset asan $(CMAKE_WERROR)
	cmake --build --preset asan
	QT_QPA_PLATFORM=offscreen ctest --preset asan

# The panel toolkit, the Qt view and the application suites under ThreadSanitizer.
tsan: deps
	cmake --preset tsan $(CMAKE_WERROR)
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

# tlx1steuerung_<version>_<arch>.deb in this folder, built from the build tree.
package: build
	cpack --config build/CPackConfig.cmake -G DEB -B build/package
	mv build/package/tlx1steuerung_*.deb .
	@ls tlx1steuerung_*.deb

# Rewrites every source in the house style (.clang-format; sim/ and its tests have their own).
format:
	clang-format -i $(SOURCES)

# The style check and clang-tidy (.clang-tidy) over every source of the build.
lint: build
	clang-format --dry-run -Werror $(SOURCES)
	run-clang-tidy -p build -j $$(nproc) -quiet "$$PWD/(analysis|app|driver|error|ini|platform|record|sim|tools|ui|tests|bench)/.*\.cpp$$"

# The operator manual's pictures from the test suite's screenshots.
handbuch-bilder: build
	scripts/handbuch-bilder.sh

clean:
	rm -rf build build-asan build-tsan build-fuzz tlx1steuerung_*.deb
