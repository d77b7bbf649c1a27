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
CMAKE_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	-DTUNECRATE_SANITIZE=$(if $(filter 1,$(SANITIZE)),ON,OFF) \
	-DTUNECRATE_WERROR=$(if $(filter 1,$(WERROR)),ON,OFF)

.PHONY: deps build run demo test bench clean fuzz

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/app/tunecrate $(ARGS)

demo: build
	bash scripts/make-demo.sh $(BUILD)/demo $(BUILD)/app/tunecrate
	cd $(BUILD)/demo/songs && $(abspath $(BUILD))/app/tunecrate --floppy $(abspath $(BUILD))/demo/floppy.img $(ARGS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

clean:
	rm -rf build build-sanitize

# The FAT12 image reader under libFuzzer (clang, ASan + UBSan) for FUZZ_SECONDS;
# a crash, a hang or a sanitizer report fails the target and leaves the input
# in $(FUZZ_BUILD)/artifacts/.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
# a 1.44 MB image and one sector more
FUZZ_MAX_LEN = 1475072
FUZZ_TUNECRATE = $(firstword $(wildcard $(BUILD)/app/tunecrate build/app/tunecrate build-sanitize/app/tunecrate))

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTUNECRATE_BUILD_FUZZ=ON -DTUNECRATE_BUILD_UI=OFF -DTUNECRATE_BUILD_TESTS=OFF -DTUNECRATE_BUILD_BENCH=OFF \
	  -DTUNECRATE_WERROR=$(if $(filter 1,$(WERROR)),ON,OFF)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target image_fuzz
	bash fuzz/make-corpus.sh $(FUZZ_BUILD)/seeds $(FUZZ_TUNECRATE)
	@# Every run starts from the seeds: the inputs are whole images, and a
	@# corpus kept from run to run would grow without bound in memory.
	rm -rf $(FUZZ_BUILD)/corpus
	mkdir -p $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/artifacts
	UBSAN_OPTIONS=print_stacktrace=1 $(FUZZ_BUILD)/fuzz/image_fuzz -max_total_time=$(FUZZ_SECONDS) \
	  -max_len=$(FUZZ_MAX_LEN) -timeout=10 -reload=0 -print_final_stats=1 \
	  -artifact_prefix=$(FUZZ_BUILD)/artifacts/ $(FUZZ_BUILD)/corpus $(FUZZ_BUILD)/seeds
