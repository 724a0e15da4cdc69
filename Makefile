# The set-up commands of the README. Each installs what is missing first.
BUILD ?= build
PRESET ?= dev

.PHONY: deps build run test bench package package-windows clean

deps:
	bash scripts/install-deps

build: deps
	cmake --preset $(PRESET) -B $(BUILD)
	cmake --build $(BUILD)

run: build
	bash scripts/run $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j2

# A Debian package of what `cmake --install` installs, written to $(BUILD)/.
package: build
	cmake --build $(BUILD) --target package

# The Windows program's installer, cross built with mingw-w64:
# $(BUILD)/windows/mirel9x-3.18-setup.exe.
package-windows: deps
	bash scripts/windows-build $(BUILD)/windows
	cmake --build $(BUILD)/windows --target package-windows

bench: build
	$(BUILD)/bench/mirel9x_bench

clean:
	rm -rf $(BUILD)
