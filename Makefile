# craterDip: the two commands, `make play` and `make test`, and a few more for the people who build it.
# Each installs the Debian packages it needs, configures and builds; running one twice does no extra work.

BUILD       ?= build
UBSAN_BUILD ?= build-ubsan
ARGS        ?=
PREFIX      ?= /usr/local
DESTDIR     ?=
CMAKE_FLAGS := -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo

# What building and the tests need on Debian 12.
BUILD_PACKAGES := cmake ninja-build make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest \
                  wine wine64 python3 nlohmann-json3-dev
RUN_PACKAGES   := xvfb xauth x11-utils xdotool imagemagick python3-pil procps diffutils
ASSET_PACKAGES := python3-pil sox
# What the manual page, the Debian package and the install test need (before configuring: CMake looks for
# help2man).
INSTALL_PACKAGES := help2man lintian desktop-file-utils

.PHONY: all deps build build-ubsan test play demo bench assets clean install-deps install uninstall package

all: build

deps:
	@tools/ensure-packages $(BUILD_PACKAGES) $(RUN_PACKAGES)

install-deps:
	@tools/ensure-packages $(INSTALL_PACKAGES)

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

$(UBSAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(UBSAN_BUILD) $(CMAKE_FLAGS) -DCRATERDIP_UBSAN=ON

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

build-ubsan: deps $(UBSAN_BUILD)/build.ninja
	cmake --build $(UBSAN_BUILD)

# The whole suite: the in-process tests in the build that traps on undefined behaviour, then every test of
# the normal build. Ends with CTest's summary.
test: install-deps build build-ubsan
	cd $(UBSAN_BUILD) && ctest -L inprocess -j2 --output-on-failure
	cd $(BUILD) && ctest -j2 --output-on-failure

# What playing needs: the game, the phone shell and the two libraries beside them (no test programs).
PLAY_TARGETS := craterDip phone aygshell HTCSensorSDK

# Opens the phone with the game in it; ARGS passes options to the launcher (./craterdip --help). A first
# start sets up the Wine prefix while the programs build.
play: deps $(BUILD)/build.ninja
	./craterdip --prepare & cmake --build $(BUILD) --target $(PLAY_TARGETS); built=$$?; wait; [ $$built -eq 0 ]
	./craterdip $(ARGS)

# Plays the committed scripted round headless (Xvfb) and records it: demo/craterDip-demo.gif and its last
# frame, demo/screenshot.png.
demo: build
	/usr/bin/python3 demo/record-demo --bin $(BUILD)/bin --work $(BUILD)/demo

# Prints the benchmark figures (frame composition, tick, first frame, a minute of play) as a table.
bench: build
	tools/bench $(BUILD)

# Regenerates the committed pictures, icon and sounds from tools/.
assets:
	@tools/ensure-packages $(ASSET_PACKAGES)
	tools/make-assets

# The launcher in PREFIX/bin, the programs in PREFIX/lib/craterdip, the pictures and sounds in
# PREFIX/share/craterdip, the menu entry, the icons and the manual page; DESTDIR stages it elsewhere.
install: install-deps build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# Removes what make install put in PREFIX; the players' prefixes and settings stay in their homes.
uninstall: $(BUILD)/build.ninja
	package/uninstall $(BUILD) "$(DESTDIR)" "$(PREFIX)"

# The Debian package, $(BUILD)/craterdip_VERSION_amd64.deb.
package: install-deps build
	cmake --build $(BUILD) --target deb

clean:
	rm -rf $(BUILD) $(UBSAN_BUILD)
