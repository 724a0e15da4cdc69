# The two set-up commands of the README. Both install what is missing first.
BUILD ?= build
PRESET ?= dev

.PHONY: deps build run test bench clean

deps:
	bash scripts/install-deps

build: deps
	cmake --preset $(PRESET) -B $(BUILD)
	cmake --build $(BUILD)

run: build
	bash scripts/run $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j2

bench: build
	$(BUILD)/bench/mirel9x_bench

clean:
	rm -rf $(BUILD)
