# SPDX-License-Identifier: MIT
# Thin wrapper over CMake: installs what the project needs, builds, runs the viewer or the tests.
BUILD     ?= build
SAN_BUILD ?= build-san
REL_BUILD ?= build-release
FUZZ_BUILD ?= build-fuzz
WIN_BUILD ?= build-windows
DEB_BUILD ?= build-deb
# The suite has run by then (make test): packages are built without it unless asked.
DEB_BUILD_OPTIONS ?= nocheck
FUZZ_SECONDS ?= 60
JOBS      ?= $(shell nproc)
XVFB       = xvfb-run -a -s "-screen 0 1280x1024x24 -noreset"

# Debian 12 packages. BUILD_PACKAGES and CHECK_PACKAGES are the Build-Depends of debian/control
# (the second marked <!nocheck>; a test keeps them equal); TOOL_PACKAGES are the compiler and make
# (build-essential, which packages do not list), clang for fuzzing, clang-format for the test that
# keeps the tree formatted (it skips without it, as in a package build, which has no git tree to
# list the files), and the packaging tools.
BUILD_PACKAGES = cmake pkg-config libsdl1.2-dev libglu1-mesa-dev libdevil-dev libgtk-3-dev \
           libtinygltf-dev nlohmann-json3-dev libstb-dev libosmesa6-dev
CHECK_PACKAGES = libgtest-dev libgmock-dev libbenchmark-dev \
           xvfb xauth xdotool x11-utils imagemagick libgl1-mesa-dri \
           desktop-file-utils libxml2-utils shared-mime-info python3 mandoc bash-completion
TOOL_PACKAGES = make g++ dpkg-dev clang $(CLANG_RT_PACKAGE) clang-format debhelper lintian \
           debootstrap
# The fuzzers' runtime comes with the clang major version: the installed clang's, else the one
# the release's clang package depends on (14 on Debian 12, 19 on Debian 13).
CLANG_RT_PACKAGE := libclang-rt-$(shell { clang -dumpversion 2>/dev/null || apt-cache depends clang \
  2>/dev/null | sed -n 's/^ *Depends: clang-\([0-9][0-9]*\)$$/\1/p'; } | head -n 1 | cut -d. -f1)-dev
# Blender runs the add-on's tests and the round trips through Blender's own glTF import and export
# (3.4 on Debian 12, 4.3 on Debian 13; its glTF add-on needs numpy, only recommended by the
# package); CI installs them so that those tests never skip.
CLIENT_PACKAGES = blender python3-numpy
PACKAGES = $(BUILD_PACKAGES) $(CHECK_PACKAGES) $(TOOL_PACKAGES) $(CLIENT_PACKAGES)
# node and npm run the Khronos glTF Validator in the tests; a system with its own npm (one that
# bundles it with node conflicts with Debian's npm package) keeps it.
NODE_PACKAGES = nodejs npm
VALIDATOR = tools/gltf-validator

.PHONY: all deps build build-release run test test-san fuzz fuzz-merge install blender-addon clean \
        validator deb print-build-depends test-debian13 debian13-system deps-windows windows \
        windows-dist test-windows

# The tests read numbers and messages in the C locale and keep GTK's settings in memory.
test test-san: export GSETTINGS_BACKEND = memory
test test-san: export LC_ALL = C

all: build

# Installs those of the packages named in $(1) that are missing (and $(2), when the command
# it names is missing), waiting for the dpkg lock another apt holds.
install_missing = @missing=$$(for p in $(1); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done; $(if $(2),command -v $(2) >/dev/null 2>&1 || echo $(3))); \
	if [ -n "$$missing" ]; then \
	  echo "Installing: $$missing"; \
	  if [ "$$(id -u)" -eq 0 ]; then sudo=; else sudo=sudo; fi; \
	  $$sudo apt-get -o DPkg::Lock::Timeout=900 update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
	    --no-install-recommends $$missing </dev/null; \
	fi

deps:
	$(call install_missing,$(PACKAGES),npm,$(NODE_PACKAGES))

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)

# Without a display the viewer cannot open, so the officer is drawn mid-stride into a picture
# by tkmtool (no display needed) and the way to a virtual display is shown.
run: build
	@if [ -z "$$DISPLAY" ]; then \
	  $(BUILD)/tools/tkmtool/tkmtool render --anim samples/SWT_Walk.tka --frame 8 \
	    samples/SWT_Officer.tkm samples/preview.png >/dev/null || exit 1; \
	  echo "No display is set (DISPLAY is empty), so the viewer cannot open a window."; \
	  echo "The sample officer, mid-stride in its walk, is drawn instead to:"; \
	  echo "  $(CURDIR)/samples/preview.png"; \
	  echo "To run the viewer on a virtual display:"; \
	  echo '  cd samples && $(XVFB) ../$(BUILD)/tarvik SWT_Officer.tkm SWT_Walk.tka'; \
	  echo "and watch it with a VNC viewer, or take screenshots with 'import -window root'."; \
	else \
	  cd samples && ../$(BUILD)/tarvik; \
	fi

# The validator at the version its lock file pins, installed when npm is there; the tests then
# insist on it.
validator: deps
	@if command -v npm >/dev/null 2>&1; then \
	  if [ ! -f $(VALIDATOR)/node_modules/.package-lock.json ] || \
	     [ $(VALIDATOR)/package-lock.json -nt $(VALIDATOR)/node_modules/.package-lock.json ]; then \
	    cd $(VALIDATOR) && npm ci --no-audit --no-fund </dev/null; \
	  fi; \
	else echo "npm not found: the glTF validator test will be skipped"; fi

test test-san: export TARVIK_REQUIRE_GLTF_VALIDATOR = $(if $(shell command -v npm),1)

test: build validator
	cd $(BUILD) && if [ -n "$$DISPLAY" ]; then ctest --output-on-failure -j $(JOBS); \
	  else $(XVFB) ctest --output-on-failure -j $(JOBS); fi

# The suite on Debian 13, in a system made with debootstrap and kept in DEBIAN13_DIR (needs root).
DEBIAN13_DIR ?= /var/cache/tarvik/debian13
test-debian13:
	tools/debian13.sh $(DEBIAN13_DIR) test
# Only the system and the packages the suite needs there (CI makes it while Debian 12's steps run).
debian13-system:
	tools/debian13.sh $(DEBIAN13_DIR) deps

# The same suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-san: deps validator
	cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTARVIK_SANITIZE=ON -DTARVIK_BENCH=OFF \
	  -DTARVIK_WERROR=ON
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && if [ -n "$$DISPLAY" ]; then ctest --output-on-failure -j $(JOBS); \
	  else $(XVFB) ctest --output-on-failure -j $(JOBS); fi

# What packagers build: Release, with warnings shown but not fatal.
build-release: deps
	cmake -S . -B $(REL_BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(REL_BUILD) -j $(JOBS)

# Every libFuzzer target for FUZZ_SECONDS each, readers instrumented; fuzz-merge minimizes what
# was found into fuzz/corpus (see fuzz/run.sh).
fuzz fuzz-merge: deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DTARVIK_LIBFUZZER=ON -DTARVIK_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_all
	fuzz/run.sh $(if $(filter fuzz,$@),run $(FUZZ_BUILD) $(FUZZ_SECONDS),merge $(FUZZ_BUILD))

install: build
	cmake --install $(BUILD)

# The Blender add-on as a zip for Blender's Preferences > Add-ons > Install.
blender-addon: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_WERROR=ON
	cmake --build $(BUILD) --target blender-addon
	@echo "Blender add-on: $(CURDIR)/$(BUILD)/io_scene_tkm.zip"

# Debian packages from a copy of the tree (dpkg-buildpackage writes beside its source), checked
# by lintian: $(DEB_BUILD)/*.deb.
deb: export DEB_BUILD_OPTIONS := $(DEB_BUILD_OPTIONS)
deb: deps
	rm -rf $(DEB_BUILD)
	mkdir -p $(DEB_BUILD)/src
	tar -c --exclude-vcs --exclude='./build*' --exclude=./tools/gltf-validator/node_modules \
	  --exclude=./samples/preview.png -f - . | tar -x -C $(DEB_BUILD)/src
	cd $(DEB_BUILD)/src && dpkg-buildpackage -b -us -uc -j$(JOBS) \
	  $(if $(filter nocheck,$(DEB_BUILD_OPTIONS)),-Pnocheck)
	lintian --fail-on error $(DEB_BUILD)/*.changes
	@ls $(DEB_BUILD)/*.deb

# Windows: tkmtool.exe and larkspur.dll cross-built with MinGW-w64 (the core alone: Debian has
# no Windows build of the viewer's libraries), the core's suite run under Wine. The headers of
# tinygltf, nlohmann-json and stb and GoogleTest's source are Debian's own; NSIS, zip, mandoc and
# cmark-gfm make the downloads (installer, zips, the manual and README as HTML), unzip checks them.
WINDOWS_PACKAGES = cmake g++-mingw-w64-x86-64-posix wine wine64 libtinygltf-dev \
           nlohmann-json3-dev libstb-dev googletest nsis zip unzip mandoc cmark-gfm
# Wine keeps its settings in a prefix of the build's own; its server is started before CTest, which
# otherwise waits for ever on the pipe a server started inside a test inherits.
WINE = /usr/lib/wine/wine64
WINESERVER = /usr/lib/wine/wineserver
WINE_ENV = WINEPREFIX=$(CURDIR)/$(WIN_BUILD)/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

deps-windows:
	$(call install_missing,$(WINDOWS_PACKAGES))

windows: deps-windows
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_WERROR=ON
	cmake --build $(WIN_BUILD) -j $(JOBS)

# The downloads for Windows users in $(WIN_BUILD)/dist: a zip, an installer and the Blender
# extension with tkmtool.exe inside.
windows-dist: windows
	cmake --build $(WIN_BUILD) --target windows-dist

# The suite checks the downloads too: the installer in a Wine prefix of its own.
test-windows: windows-dist
	mkdir -p $(WIN_BUILD)/wine-prefix
	@# A server an interrupted run left for this prefix would refuse a second one.
	-@$(WINE_ENV) $(WINESERVER) -k 2>/dev/null
	$(WINE_ENV) $(WINESERVER) -p
	$(WINE_ENV) $(WINE) cmd /c exit
	@# Wine now and then fails to start one program of the hundreds (seen once: a test that failed
	@# in no time, printing nothing, and passed in every run after). The failed ones run once more,
	@# one at a time, so only a test that fails twice fails the run; the first failure stays in the log.
	cd $(WIN_BUILD) && { $(WINE_ENV) LC_ALL=C ctest --output-on-failure -j $(JOBS) || { \
	    echo "Running the failed tests once more, one at a time"; \
	    $(WINE_ENV) LC_ALL=C ctest --output-on-failure --rerun-failed; }; }; \
	  status=$$?; $(WINE_ENV) $(WINESERVER) -k; exit $$status

print-build-depends:
	@echo $(BUILD_PACKAGES) '|' $(CHECK_PACKAGES)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(REL_BUILD) $(FUZZ_BUILD) $(DEB_BUILD) $(WIN_BUILD)
