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

.PHONY: deps build run demo test bench clean

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/app/tunecrate $(ARGS)

demo: build
	bash scripts/make-demo.sh $(BUILD)/demo
	cd $(BUILD)/demo/songs && $(abspath $(BUILD))/app/tunecrate --floppy $(abspath $(BUILD))/demo/floppy $(ARGS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

clean:
	rm -rf build build-sanitize
