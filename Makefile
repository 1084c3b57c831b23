# Every target installs what is missing first, so a clean machine needs only `make test`.
BUILD_DIR ?= build
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: deps configure build run test bench cli clean

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j$(JOBS)

cli: configure
	@cmake --build $(BUILD_DIR) -j$(JOBS) --target veltrane-cli

run: configure
	@cmake --build $(BUILD_DIR) -j$(JOBS) --target veltrane
	@$(BUILD_DIR)/src/veltrane

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)

bench: build
	@$(BUILD_DIR)/bench/veltrane_bench --benchmark_min_time=2
	@$(BUILD_DIR)/bench/veltrane_glbench --benchmark_min_time=2

clean:
	@rm -rf $(BUILD_DIR)
