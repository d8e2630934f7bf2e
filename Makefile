# craterDip: the two commands, `make play` and `make test`, and a few more for the people who build it.
# Each installs the Debian packages it needs, configures and builds; running one twice does no extra work.

BUILD       ?= build
UBSAN_BUILD ?= build-ubsan
ARGS        ?=
PREFIX      ?= /usr/local
DESTDIR     ?=
CMAKE_FLAGS := -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo

# What each command needs on Debian 12. Playing: building the game and running it in Wine on a display
# (xdpyinfo). The tests, the demo and the benchmarks: GoogleTest, and a headless display they can drive and
# photograph; the manual page (help2man), and the install test's checks of the menu entry and the Debian
# package. `make deps` installs everything, as root; the other commands only check for what they need.
PLAY_PACKAGES  := cmake ninja-build make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 \
                  nlohmann-json3-dev x11-utils
TEST_PACKAGES  := googletest python3 xvfb xauth xdotool imagemagick python3-pil procps diffutils \
                  help2man lintian desktop-file-utils
ASSET_PACKAGES := python3-pil sox

.PHONY: all deps play-deps test-deps not-root build build-ubsan test play demo bench assets install uninstall \
        package clean

all: build

deps:
	@tools/ensure-packages $(PLAY_PACKAGES) $(TEST_PACKAGES) $(ASSET_PACKAGES)

play-deps:
	@tools/ensure-packages --then "make play" $(PLAY_PACKAGES)

test-deps:
	@tools/ensure-packages --then "make $(or $(MAKECMDGOALS),test)" $(PLAY_PACKAGES) $(TEST_PACKAGES)

# The test programs are configured only where GoogleTest is installed (playing does not need it); a build
# made by `make play` before it was gets them when `make build` first runs.
TESTS_IF_INSTALLED = $(if $(wildcard /usr/src/googletest/CMakeLists.txt),ON,OFF)

# Under `make -j play` too, nothing is configured before the root check.
$(BUILD)/build.ninja: | $(if $(filter play,$(MAKECMDGOALS)),not-root)
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DCRATERDIP_TESTS=$(TESTS_IF_INSTALLED)

$(UBSAN_BUILD)/build.ninja:
	cmake -S . -B $(UBSAN_BUILD) $(CMAKE_FLAGS) -DCRATERDIP_UBSAN=ON

# A build that `make play` configured before the test tools were in (no tests, no help2man for the manual
# page) is configured again once they are.
build: test-deps $(BUILD)/build.ninja
	grep -q '^CRATERDIP_TESTS:BOOL=ON' $(BUILD)/CMakeCache.txt && ! grep -q 'HELP2MAN-NOTFOUND' $(BUILD)/CMakeCache.txt \
	    || cmake -S . -B $(BUILD) -DCRATERDIP_TESTS=ON
	cmake --build $(BUILD)

build-ubsan: test-deps $(UBSAN_BUILD)/build.ninja
	cmake --build $(UBSAN_BUILD)

# The whole suite: the in-process tests in the build that traps on undefined behaviour, then every test of
# the normal build. Ends with CTest's summary.
test: build build-ubsan
	cd $(UBSAN_BUILD) && ctest -L inprocess -j2 --output-on-failure
	cd $(BUILD) && ctest -j2 --output-on-failure

# What playing needs: the game, the phone shell and the two libraries beside them (no test programs).
PLAY_TARGETS := craterDip phone aygshell HTCSensorSDK

# A player who ran `sudo make play` would get a build and a Wine prefix that belong to root: once the
# packages are in, the rest is for the player's own account. A root login (no sudo) plays as itself.
not-root: play-deps
	@if [ "$$(id -u)" -eq 0 ] && [ -n "$${SUDO_USER:-}" ]; then \
	    echo "Do not play as root: the build and the Wine prefix would belong to root." >&2; \
	    echo "The packages are installed; now run  make play  as yourself ($$SUDO_USER)." >&2; exit 1; fi

# Opens the phone with the game in it; ARGS passes options to the launcher (./craterdip --help). A first
# start sets up the Wine prefix while the programs build.
play: play-deps not-root $(BUILD)/build.ninja
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
	@tools/ensure-packages --then "make assets" $(ASSET_PACKAGES)
	tools/make-assets

# The launcher in PREFIX/bin, the programs in PREFIX/lib/craterdip, the pictures and sounds in
# PREFIX/share/craterdip, the menu entry, the icons and the manual page; DESTDIR stages it elsewhere.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# Removes what make install put in PREFIX; the players' prefixes and settings stay in their homes.
uninstall: $(BUILD)/build.ninja
	package/uninstall $(BUILD) "$(DESTDIR)" "$(PREFIX)"

# The Debian package, $(BUILD)/craterdip_VERSION_amd64.deb.
package: build
	cmake --build $(BUILD) --target deb

clean:
	rm -rf $(BUILD) $(UBSAN_BUILD)
