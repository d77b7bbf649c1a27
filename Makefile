# SPDX-License-Identifier: MIT
# The commands of the README. `make test SANITIZE=1 WERROR=1` is what CI runs.
SANITIZE ?= 0
WERROR ?= 0
ifeq ($(SANITIZE),1)
BUILD ?= build-sanitize
else
BUILD ?= build
endif
JOBS ?= $(shell nproc)
# The benchmarks are built where they are run: not in the sanitized build,
# which only tests (`make bench` builds them in its own build).
ifeq ($(SANITIZE),1)
BENCH ?= 0
else
BENCH ?= 1
endif
CMAKE_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	-DTUNECRATE_SANITIZE=$(if $(filter 1,$(SANITIZE)),ON,OFF) \
	-DTUNECRATE_BUILD_BENCH=$(if $(filter 1,$(BENCH)),ON,OFF) \
	-DTUNECRATE_WERROR=$(if $(filter 1,$(WERROR)),ON,OFF)
# The sanitized build keeps line tables only (-g1): a sanitizer's report still
# names files and lines, and the build takes about a quarter less time.
ifeq ($(SANITIZE),1)
CMAKE_FLAGS += '-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG' '-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG'
endif

.PHONY: deps build run demo test bench clean fuzz mutants coverage release install package translations

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/app/tunecrate $(ARGS)

demo: build
	bash scripts/make-demo.sh $(BUILD)/demo $(BUILD)/app/tunecrate
	cd $(BUILD)/demo/songs && $(abspath $(BUILD))/app/tunecrate --floppy $(abspath $(BUILD))/demo/floppy.img \
	  --shelf $(abspath $(BUILD))/demo/shelf $(ARGS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --output-on-failure -j $(JOBS)

# translations/*.ts anew from the sources (lupdate); new texts come in unfinished.
translations: deps
	bash scripts/update-translations.sh

bench: BENCH = 1
bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

clean:
	rm -rf build build-sanitize $(RELEASE_BUILD)

# Installing: a Release build of the program alone in $(RELEASE_BUILD).
# `make install PREFIX=$HOME/.local`, `make install PREFIX=/usr DESTDIR=/tmp/root`.
# Installed into a live prefix, the desktop's caches (menu, file types, icons)
# are refreshed with whichever of their tools the machine has.
PREFIX ?= /usr/local
DESTDIR ?=
RELEASE_BUILD ?= build-release
# -O2 as Debian builds, not CMake's -O3: GCC 12 warns falsely (-Wrestrict) on
# inlined string code at -O3.
RELEASE_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=Release -DTUNECRATE_BUILD_TESTS=OFF -DTUNECRATE_BUILD_BENCH=OFF \
	'-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG' \
	-DTUNECRATE_WERROR=$(if $(filter 1,$(WERROR)),ON,OFF)
# Debian's hardening flags, all of them (bindnow too), when dpkg-dev is there.
BUILDFLAGS = $(shell command -v dpkg-buildflags >/dev/null && export DEB_BUILD_MAINT_OPTIONS=hardening=+all && \
	printf "'%s' " "-DCMAKE_CXX_FLAGS=$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	  "-DCMAKE_EXE_LINKER_FLAGS=$$(dpkg-buildflags --get LDFLAGS)")

release: deps
	cmake -S . -B $(RELEASE_BUILD) $(RELEASE_FLAGS) -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(BUILDFLAGS)
	cmake --build $(RELEASE_BUILD) -j $(JOBS)

install: release
	DESTDIR="$(DESTDIR)" cmake --install $(RELEASE_BUILD) --prefix "$(PREFIX)" --strip
ifeq ($(DESTDIR),)
	@command -v update-desktop-database >/dev/null && update-desktop-database -q "$(PREFIX)/share/applications" || true
	@command -v update-mime-database >/dev/null && update-mime-database "$(PREFIX)/share/mime" || true
	@# Only a theme folder that has its index: a cache left in a bare folder
	@# hides the icons that others later put there without refreshing it.
	@[ -f "$(PREFIX)/share/icons/hicolor/index.theme" ] && command -v gtk-update-icon-cache >/dev/null && \
	  gtk-update-icon-cache -q "$(PREFIX)/share/icons/hicolor" || true
endif

# The Debian package $(RELEASE_BUILD)/tunecrate_VERSION_ARCH.deb (installs under /usr).
package: release
	cd $(RELEASE_BUILD) && cpack -G DEB

# The FAT12 image reader under libFuzzer (clang, ASan + UBSan) for FUZZ_SECONDS;
# a crash, a hang or a sanitizer report fails the target and leaves the input
# in $(FUZZ_BUILD)/artifacts/ ($(FUZZ_BUILD)/fuzz/image_fuzz FILE runs it again).
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
# an image's length (4 bytes) and its first 32 KB
FUZZ_MAX_LEN = 32772
FUZZ_TUNECRATE = $(firstword $(wildcard $(BUILD)/app/tunecrate build/app/tunecrate build-sanitize/app/tunecrate))

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTUNECRATE_BUILD_FUZZ=ON -DTUNECRATE_BUILD_UI=OFF -DTUNECRATE_BUILD_TESTS=OFF -DTUNECRATE_BUILD_BENCH=OFF \
	  -DTUNECRATE_WERROR=$(if $(filter 1,$(WERROR)),ON,OFF)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target image_fuzz
	bash fuzz/make-corpus.sh $(FUZZ_BUILD)/seeds $(FUZZ_TUNECRATE)
	@# Every run starts from the seeds alone, so that its numbers compare
	@# with another run's.
	rm -rf $(FUZZ_BUILD)/corpus
	mkdir -p $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/artifacts
	@command -v llvm-symbolizer >/dev/null || echo "fuzz: no llvm-symbolizer (package llvm): a crash will show bare addresses"
	UBSAN_OPTIONS=print_stacktrace=1 $(FUZZ_BUILD)/fuzz/image_fuzz -max_total_time=$(FUZZ_SECONDS) \
	  -max_len=$(FUZZ_MAX_LEN) -timeout=10 -reload=0 -print_final_stats=1 \
	  -artifact_prefix=$(FUZZ_BUILD)/artifacts/ $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/seeds

# Mutation sample (scripts/mutants.sh, list in scripts/mutants.txt): each
# mutant is built and tested in a scratch copy under build-mutants/; prints
# killed/total. MUTANT=part runs only the mutants whose name holds it;
# MUTANTS_REV=REV measures a commit instead of the working tree.
MUTANT ?=
mutants: deps
	bash scripts/mutants.sh $(MUTANT)

# Line coverage of the core and widget tests (the end-to-end tests left out),
# one summary per group of files. COVERAGE_REV=REV measures a commit (git
# archive) instead of the working tree.
COVERAGE_BUILD ?= build-coverage
COVERAGE_REV ?=
COVERAGE_SRC = $(if $(COVERAGE_REV),$(COVERAGE_BUILD)-rev/src,.)
COVERAGE_OUT = $(abspath $(if $(COVERAGE_REV),$(COVERAGE_BUILD)-rev/build,$(COVERAGE_BUILD)))
# Each group is a list of gcovr filters: regular expressions on the paths
# relative to the sources' root.
COVERAGE_GROUPS = core session widgets
COVERAGE_core = core/
COVERAGE_session = session/
COVERAGE_widgets = widgets/
COVERAGE_FILTERS = $(foreach f,$(1),--filter '$(f)')

coverage: deps
ifneq ($(COVERAGE_REV),)
	rm -rf $(COVERAGE_SRC)
	mkdir -p $(COVERAGE_SRC)
	git archive $(COVERAGE_REV) | tar -x -C $(COVERAGE_SRC)
	@grep -q TUNECRATE_COVERAGE $(COVERAGE_SRC)/CMakeLists.txt || \
	  { echo "coverage: $(COVERAGE_REV) has no TUNECRATE_COVERAGE option"; exit 1; }
endif
	@# -O0, so that each line is counted where it stands.
	cmake -S $(COVERAGE_SRC) -B $(COVERAGE_OUT) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DTUNECRATE_COVERAGE=ON -DTUNECRATE_BUILD_BENCH=OFF
	cmake --build $(COVERAGE_OUT) -j $(JOBS)
	find $(COVERAGE_OUT) -name '*.gcda' -delete
	@# A test that fails once (under the load of the others) gets a second run.
	cd $(COVERAGE_OUT) && QT_QPA_PLATFORM=offscreen ctest -E '^e2e_' -j $(JOBS) --output-on-failure \
	  --repeat until-pass:2
	cd $(COVERAGE_SRC) && gcovr --root . --json $(COVERAGE_OUT)/coverage.json \
	  $(foreach g,$(COVERAGE_GROUPS),$(call COVERAGE_FILTERS,$(COVERAGE_$(g)))) $(COVERAGE_OUT)
	@cd $(COVERAGE_SRC) && $(foreach g,$(COVERAGE_GROUPS),\
	  echo "== line coverage: $(g) ($(COVERAGE_$(g)))" && \
	  gcovr --root . --add-tracefile $(COVERAGE_OUT)/coverage.json $(call COVERAGE_FILTERS,$(COVERAGE_$(g))) \
	    --print-summary >$(COVERAGE_OUT)/coverage-$(g).txt && \
	  grep -v -E '^(functions|branches):' $(COVERAGE_OUT)/coverage-$(g).txt && echo &&) true
	@$(foreach g,$(COVERAGE_GROUPS),\
	  printf 'coverage %-8s %s\n' $(g) "$$(sed -n 's/^lines: //p' $(COVERAGE_OUT)/coverage-$(g).txt)";)
