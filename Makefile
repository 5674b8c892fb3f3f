# Corvantide: one-command set-up, build, run and test on Debian.
SHELL := /bin/bash
PACKAGES := $(shell grep -v '^\s*\#' packages.txt | grep -v '^\s*$$')
FUZZ_PACKAGES := $(shell grep -v '^\s*\#' packages-fuzz.txt | grep -v '^\s*$$')
PACKAGE_PACKAGES := $(shell grep -v '^\s*\#' packages-package.txt | grep -v '^\s*$$')
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
JOBS ?= $(shell nproc)

.PHONY: all deps fuzz-deps package-deps install-packages build release run test asan tsan fuzz bench package format clean

all: build

# Installs only what is missing, so a ready machine pays nothing.
deps:
	@$(MAKE) --no-print-directory install-packages LIST="$(PACKAGES)"

fuzz-deps: deps
	@$(MAKE) --no-print-directory install-packages LIST="$(FUZZ_PACKAGES)"

package-deps: deps
	@$(MAKE) --no-print-directory install-packages LIST="$(PACKAGE_PACKAGES)"

install-packages:
	@missing=$$(for p in $(LIST); do \
	    dpkg-query -W -f='$${Status}\n' "$$p" 2>/dev/null | grep -q '^install ok installed' || echo "$$p"; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing: $$missing"; \
	  $(SUDO) apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q --no-install-recommends $$missing; \
	fi

build: deps
	cmake --preset debug
	cmake --build --preset debug -j $(JOBS)

release: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

run: build
	./build/debug/corvantide

test: build
	@home=$$(mktemp -d); \
	CORVANTIDE_HOME=$$home QT_QPA_PLATFORM=offscreen ctest --preset debug -j $(JOBS); rc=$$?; \
	rm -rf "$$home"; exit $$rc

asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	@home=$$(mktemp -d); \
	CORVANTIDE_HOME=$$home QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --preset asan -j $(JOBS); rc=$$?; \
	rm -rf "$$home"; exit $$rc

# The tests of the code that runs on more than one thread, under ThreadSanitizer.
TSAN_TESTS ?= OffThread|DetachedThreads|Column|DirMonitor|DirectoryListing|DirectoryReader|Partitions|HangingMount|SlowFileSystem|PropertiesForm|WindowStall|FileRun|FileForm|CloseDuringOperation|SessionEnd|SearchEngine|DirectoryTree|TreeNavigator|GoToPath|CommonText|MediaPlayer|MediaPanel|QtMediaDevice|TrashList|TrashRestore|UndoJournal|UndoCommands|SearchFileCommand|SearchFileForm|StegForm|ThumbRender|ThumbWorkers|ColumnThumbs|SystemThumbnail|ViewerPlugins|PictureViewer|FileHoverForm|TrashCommands|TrashEmpty
tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	@home=$$(mktemp -d); \
	CORVANTIDE_HOME=$$home QT_QPA_PLATFORM=offscreen \
	  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan.supp" \
	  ctest --preset tsan -j $(JOBS) -R '$(TSAN_TESTS)'; rc=$$?; \
	rm -rf "$$home"; exit $$rc

FUZZ_SECONDS ?= 60
fuzz: fuzz-deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	@set -e; for f in build/fuzz/fuzz/fuzz_*; do \
	  [ -x "$$f" ] || continue; \
	  echo "== $$f ($(FUZZ_SECONDS) s)"; \
	  mkdir -p build/fuzz/corpus/$$(basename $$f); \
	  "$$f" -max_total_time=$(FUZZ_SECONDS) -rss_limit_mb=4096 build/fuzz/corpus/$$(basename $$f) fuzz/seeds/$$(basename $$f); \
	done

# The Debian package from a release build, checked as the archive would check it.
package: package-deps
	cmake --preset package
	cmake --build --preset package -j $(JOBS)
	cd build/package && cpack
	desktop-file-validate data/corvantide.desktop
	appstreamcli validate --no-net data/org.corvantide.Corvantide.metainfo.xml
	@# Two findings wait for the owners: a real maintainer address and the
	@# licence for the copyright file, which the project has not chosen yet.
	lintian --fail-on error --suppress-tags bogus-mail-host,bogus-mail-host-in-debian-changelog,no-copyright-file build/package/corvantide_*.deb

bench: release
	@for b in build/release/bench/bench_*; do [ -x "$$b" ] && "$$b"; done; true

format:
	find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build
