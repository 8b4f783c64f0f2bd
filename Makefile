# KELM: `make run` sets up the machine, builds the programs and starts KELM;
# `make test` builds everything and runs every test; `make bench` the benchmarks.
BUILD_DIR ?= build
export JOBS ?= $(shell nproc)

.PHONY: all setup build build-all run test bench clean

all: build

setup:
	@bash scripts/setup.sh

# The programs KELM runs with, and the default video: what `make run` needs.
build: setup
	@bash scripts/build.sh $(BUILD_DIR) kelm_programs

# Everything: the programs, the tests and the benchmarks.
build-all: setup
	@bash scripts/build.sh $(BUILD_DIR)

run: build
	@bash scripts/run.sh $(BUILD_DIR)

test: build-all
	@bash scripts/test.sh $(BUILD_DIR)

bench: build-all
	@bash scripts/bench.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
