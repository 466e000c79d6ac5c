# Everything starts here: `make run` and `make test` install what they need
# (Debian or Ubuntu), build, and run. The other targets are steps of those.
SHELL := /bin/bash
.SHELLFLAGS := -eu -o pipefail -c
JOBS := -j$(shell nproc)
BUILD := build
# Every tree compiles through ccache where it is installed, into a cache
# in the build folder, with the paths under the tree hashed relative to it:
# the release after a change, built in a scratch copy of the tree, then
# compiles only what the change touched. The headers a source reads are
# taken from the compiler's own -MD output, not found by preprocessing it
# a second time.
export CCACHE_DIR ?= $(abspath $(BUILD))/ccache
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_DEPEND := 1
CMAKE_CONFIGURE := cmake -Wno-dev -DCMAKE_CXX_COMPILER_LAUNCHER=$$(command -v ccache || true)

# The window needs Qt 6, its Chinese translation, and CJK fonts so that no
# character of the interface shows as a box: a Song face for the window, a
# Kai face for the button.
# dpkg-dev gives the hardening flags the program is built with.
RUN_PACKAGES := cmake make g++ dpkg-dev libfast-float-dev qt6-base-dev qt6-translations-l10n libgl-dev \
    fonts-arphic-uming fonts-arphic-ukai fonts-wqy-microhei
# The Windows program is cross-built with mingw-w64 and run under Wine.
WINDOWS_PACKAGES := cmake make libfast-float-dev g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
# The browser build: Debian's emscripten, then Node.js and the three browser
# engines to test it: Chromium, Firefox (driven through WebDriver BiDi, which
# it speaks itself) and WebKitGTK (its MiniBrowser, on a virtual display).
WEB_PACKAGES := cmake make python3 libfast-float-dev emscripten brotli python3-fonttools python3-brotli
WEB_TEST_PACKAGES := $(WEB_PACKAGES) googletest nodejs chromium chromium-driver python3-selenium \
    firefox-esr python3-websocket python3-pil webkit2gtk-driver libwebkit2gtk-4.1-0 xvfb
# A Debian package, and the tools that check it.
PACKAGE_PACKAGES := $(RUN_PACKAGES) file desktop-file-utils appstream lintian
# The quick inner loop: the tables and the Qt window on its offscreen platform.
CHECK_PACKAGES := $(RUN_PACKAGES) libgtest-dev
# ccache lets the release after a change reuse the trees' compiles.
# Weston (with its X server) runs the Wayland test; Orca, on its own
# accessibility bus, says what a blind user would hear.
TEST_PACKAGES := $(PACKAGE_PACKAGES) $(WINDOWS_PACKAGES) $(WEB_TEST_PACKAGES) libgtest-dev libbenchmark-dev clang ccache \
    python3 xvfb xauth xdotool x11-utils imagemagick wine wine64 locales weston xwayland qt6-wayland \
    orca at-spi2-core dbus-daemon
# As many inputs as a loaded make test reached in its 30 s: a count, so
# that a busy machine takes longer rather than tries less. (It ends the
# run, on one core: 500 000 held it past 300 s.)
FUZZ_RUNS := 300000

.PHONY: run test check bench windows package web serve deps-run deps-check deps-test deps-windows deps-package deps-web \
    linux test-linux test-sanitize test-fuzz test-windows test-web test-package package-build web-build windows-build \
    clang-build linux-tree windows-tree wasm-tree release test-release test-release-change clean

# The package installs are order-only prerequisites: with make -j, apt runs
# before the builds that need what it installs, never beside them.
run: linux
	$(BUILD)/linux/bemvara

deps-run:
	@tools/install-packages $(RUN_PACKAGES)

# One Linux tree for the program, its tests and its package, compiled and
# linked as Debian builds its own packages: fortified, with the stack
# protector, full RELRO with BIND_NOW, and as a position-independent
# executable. So the tests run the very binary that is packaged.
BUILDFLAGS := DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
# (Without -g: the package is stripped.)
# LINUX_OPTIONS: more settings for the tree, -DBEMVARA_TESTS=OFF for the program alone.
LINUX_OPTIONS :=
LINUX_CONFIGURE := $(CMAKE_CONFIGURE) -S . -B $(BUILD)/linux -DCMAKE_BUILD_TYPE=Release -DBEMVARA_FRONT_END=ON $(LINUX_OPTIONS) \
    -DCMAKE_CXX_FLAGS="$$($(BUILDFLAGS) CXXFLAGS | sed 's/\(^\| \)-g\( \|$$\)/ /') $$($(BUILDFLAGS) CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$$($(BUILDFLAGS) LDFLAGS)"
linux: | deps-run
	$(LINUX_CONFIGURE)
	cmake --build $(BUILD)/linux $(JOBS) --target bemvara

# libFuzzer and the sanitizers need the runtime of the clang that is installed.
deps-test:
	@tools/install-packages $(TEST_PACKAGES)
	@tools/install-packages libclang-rt-$$(clang -dumpversion | cut -d. -f1)-dev

# The steps in lines side by side (tools/run-tests). The four trees are
# built at once, the Windows and WebAssembly trees at the usual priority
# and first: Wine, which mostly waits, then the browsers, the longest
# step, start on them early, and the other trees' builds fill the time
# the tests leave; the Linux tree before the clang one, as a release and
# its checks wait for it. Each test starts once its tree is built; two
# browsers at a time; the package, a release, and its checks.
PROGRAMS_BUILT := after:windows-tree after:wasm-tree after:linux-tree
TEST_LINES := windows-tree test-windows | wasm-tree test-web | nice:linux-tree | nicer:clang-build | \
    after:linux-tree test-linux | after:clang-build test-sanitize test-fuzz | \
    $(PROGRAMS_BUILT) release test-package | after:release test-release | after:release test-release-change
# Each step's files were built by a step before it, so a step builds
# nothing again: two steps bringing one tree up to date at once would
# rewrite its files under each other.
unless_built = $(if $(FILES_BUILT),,$(1))
test:
	@FILES_BUILT=1 tools/run-tests $(BUILD) deps-test '$(TEST_LINES)'

deps-check:
	@tools/install-packages $(CHECK_PACKAGES)

# The developer's inner loop: the calculation's and the handlers' tables and
# the Qt window test, on the Linux build, in well under two minutes.
check: | deps-check
	$(LINUX_CONFIGURE)
	cmake --build $(BUILD)/linux $(JOBS) --target calc_tests ui_tests qt_window_test
	ctest --test-dir $(BUILD)/linux --output-on-failure $(JOBS) -L quick

deps-package:
	@tools/install-packages $(PACKAGE_PACKAGES)

# bemvara_VERSION_amd64.deb in build/linux, from the tree the tests ran in;
# the same bytes from every build of one commit.
package: package-build

package-build: $(call unless_built,linux-tree) | deps-package
	rm -f $(BUILD)/linux/bemvara_*.deb
	cd $(BUILD)/linux && cpack
	tools/reproducible-deb $(BUILD)/linux/bemvara_*.deb
	@ls -l $(BUILD)/linux/*.deb

test-package: $(call unless_built,package-build) | deps-test
	tests/package/check-package $(BUILD)/linux

deps-windows:
	@tools/install-packages $(WINDOWS_PACKAGES)

# Bemvara.exe, cross-built in its own tree.
WINDOWS_CONFIGURE := $(CMAKE_CONFIGURE) -S . -B $(BUILD)/windows -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
windows: windows-build

# A tree the tests have configured is kept as it is: the program is the same.
windows-build: | deps-windows
	[ -f $(BUILD)/windows/CMakeCache.txt ] || $(WINDOWS_CONFIGURE) -DBEMVARA_TESTS=OFF
	cmake --build $(BUILD)/windows $(JOBS) --target Bemvara
	@ls -l $(BUILD)/windows/Bemvara.exe

# The program file's resources, the calculation's tables as a Windows
# program, then the window driven under Wine (one Wine prefix, so one test
# at a time).
windows-tree: | deps-test
	$(WINDOWS_CONFIGURE) -DBEMVARA_TESTS=ON
	cmake --build $(BUILD)/windows $(JOBS)

test-windows: $(call unless_built,windows-tree) | deps-test
	ctest --test-dir $(BUILD)/windows --output-on-failure

deps-web:
	@tools/install-packages $(WEB_PACKAGES)

# The site, in build/web: a folder of static files that any web server can
# serve. em++ needs Debian's acorn module, where Node.js does not look.
EMSCRIPTEN_ENV := NODE_PATH=/usr/share/nodejs
WEB_CONFIGURE := $(EMSCRIPTEN_ENV) emcmake $(CMAKE_CONFIGURE) -S . -B $(BUILD)/wasm -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DBEMVARA_SITE_DIR=$(abspath $(BUILD))/web
web: web-build

web-build: | deps-web
	[ -f $(BUILD)/wasm/CMakeCache.txt ] || $(WEB_CONFIGURE) -DBEMVARA_TESTS=OFF
	$(EMSCRIPTEN_ENV) cmake --build $(BUILD)/wasm $(JOBS) --target web_site
	@ls -l $(BUILD)/web

# One folder for any static host: the site, the Windows program, the Debian
# package and their SHA256SUMS, offered below the page's window.
RELEASE := $(BUILD)/release
# Every file is built from the tree as it is now: each tree's build brings
# its program up to date, and the package is made anew from its program.
release: $(call unless_built,windows-build web-build) package-build
	tools/make-release $(BUILD) $(RELEASE)

# The release's files whole, and the page's links answering with them.
test-release: $(call unless_built,release) | deps-test
	tests/release/check-release $(RELEASE)
	/usr/bin/python3 tests/web/release_test.py $(RELEASE)

# The description changed in a scratch copy of the tree, then a release
# built there: every file carries the change, and a visitor with the one
# before stored sees true sums. The tree and its builds are left alone.
test-release-change: | deps-test
	[ -f $(RELEASE)/index.html ] || $(MAKE) --no-print-directory release
	tests/release/release-after-a-change $(BUILD) $(RELEASE)

# The site on http://localhost:8000, with Python's own server.
serve: web
	python3 -m http.server 8000 --bind 127.0.0.1 --directory $(BUILD)/web

# The calculation's and the handlers' tables as WebAssembly under Node.js,
# then the page in Chromium, Firefox and WebKit, two at a time: each has
# its own port, profile and display.
wasm-tree: | deps-test
	$(WEB_CONFIGURE) -DBEMVARA_TESTS=ON
	$(EMSCRIPTEN_ENV) cmake --build $(BUILD)/wasm $(JOBS)

test-web: $(call unless_built,wasm-tree) | deps-test
	ctest --test-dir $(BUILD)/wasm --output-on-failure -j2

# The normal build: every test through CTest.
linux-tree: | deps-check
	$(LINUX_CONFIGURE)
	cmake --build $(BUILD)/linux $(JOBS)

test-linux: $(call unless_built,linux-tree) | deps-test
	ctest --test-dir $(BUILD)/linux --output-on-failure $(JOBS)

# One clang tree under AddressSanitizer and UndefinedBehaviorSanitizer, for
# the calculation's and the handlers' tables and for libFuzzer. (The window
# code itself is the toolkit's to check; ours is in calc/ and ui/.)
CLANG_FLAGS := -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer
clang-build: | deps-test
	CXX=clang++ $(CMAKE_CONFIGURE) -S . -B $(BUILD)/clang -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DBEMVARA_FRONT_END=ON -DBEMVARA_TESTS=ON -DBEMVARA_FUZZ=ON \
	    -DCMAKE_CXX_FLAGS="$(CLANG_FLAGS)" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
	cmake --build $(BUILD)/clang $(JOBS) --target calc_tests ui_tests fuzz_calc

test-sanitize: $(call unless_built,clang-build) | deps-test
	ctest --test-dir $(BUILD)/clang --output-on-failure $(JOBS) -L quick -E "^qt_"

# libFuzzer over the conversions and the calculation, for a bounded count.
test-fuzz: $(call unless_built,clang-build) | deps-test
	rm -rf $(BUILD)/clang/corpus && mkdir -p $(BUILD)/clang/corpus
	$(BUILD)/clang/tests/fuzz/fuzz_calc -runs=$(FUZZ_RUNS) -print_final_stats=1 -artifact_prefix=$(BUILD)/clang/ \
	    $(BUILD)/clang/corpus tests/fuzz/seeds 2>&1 | tail -n 12
	@echo "fuzz_calc: no invariant broken in $(FUZZ_RUNS) inputs"

# Every figure beside its yardstick, measured in one run: one table.
# The builds go to a log, shown only if one fails, so the table stands alone.
BENCH_LOG := $(BUILD)/bench.log
bench: | deps-test
	@mkdir -p $(BUILD)
	@{ $(CMAKE_CONFIGURE) -S . -B $(BUILD)/bench -DCMAKE_BUILD_TYPE=Release \
	    -DBEMVARA_FRONT_END=ON -DBEMVARA_TESTS=OFF -DBEMVARA_BENCH=ON && cmake --build $(BUILD)/bench $(JOBS) && \
	    $(MAKE) --no-print-directory windows-build web-build; } >$(BENCH_LOG) 2>&1 || { cat $(BENCH_LOG); exit 1; }
	@bench/report $(BUILD)/bench $(BUILD)/windows/Bemvara.exe $(BUILD)/web

clean:
	rm -rf $(BUILD)
