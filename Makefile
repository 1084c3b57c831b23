# Every target installs what is missing first, so a clean machine needs only `make test`.
BUILD_DIR ?= build
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: deps configure build run test test-sanitize fuzz bench cli clean

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

# The tests built with AddressSanitizer and UndefinedBehaviorSanitizer in their own folder. A
# report fails the test that raised it; leaks that lie wholly in Mesa's driver or D-Bus are
# suppressed (tests/lsan.supp). VELTRANE_TEST_SAMPLE=small lets the slowest sweeps take a
# smaller sample of their inputs under the sanitizers.
SANITIZE_DIR ?= build-sanitize
# intercept_tls_get_addr=0: the leak checker's record of dynamic TLS blocks goes stale once the
# GL driver has uploaded textures, and its scan then faults at exit; our code has no dynamic TLS.
SANITIZE_ENV = ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:strict_init_order=1:intercept_tls_get_addr=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
  VELTRANE_TEST_SAMPLE=small

test-sanitize: deps
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DVELTRANE_SANITIZE=ON \
	  -DVELTRANE_BENCH=OFF >/dev/null
	@$(SANITIZE_ENV) cmake --build $(SANITIZE_DIR) -j$(JOBS)
	@cd $(SANITIZE_DIR) && $(SANITIZE_ENV) ctest --output-on-failure -j$(JOBS)

# libFuzzer targets (tests/fuzz), built with clang in their own folder, each run for
# FUZZ_SECONDS on a copy of its committed corpus; findings are kept in $(FUZZ_DIR)/findings.
# Not part of `make test`, which only replays the committed corpus.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = braid controls cli pipeline picture exportSettings dtcode invariants identify \
  diagramCodes

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" -DVELTRANE_FUZZ=ON \
	  -DVELTRANE_TESTS=OFF -DVELTRANE_BENCH=OFF >/dev/null
	@cmake --build $(FUZZ_DIR) -j$(JOBS) --target fuzz_targets
	@failed=""; for t in $(FUZZ_TARGETS); do \
	  work=$(CURDIR)/$(FUZZ_DIR)/corpus/$$t; found=$(CURDIR)/$(FUZZ_DIR)/findings/$$t; \
	  mkdir -p $$work $$found; cp -n tests/fuzz/corpus/$$t/* $$work/; \
	  echo "fuzz: $$t for $(FUZZ_SECONDS) s"; \
	  $(FUZZ_DIR)/tests/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix=$$found/ $$work \
	    > $(CURDIR)/$(FUZZ_DIR)/$$t.log 2>&1 || failed="$$failed $$t"; \
	  grep -E '^stat::number_of_executed_units|^stat::new_units_added' $(FUZZ_DIR)/$$t.log; \
	done; \
	if [ -n "$$failed" ]; then \
	  echo "fuzz: findings in$$failed (logs in $(FUZZ_DIR)/<target>.log, inputs in $(FUZZ_DIR)/findings)"; \
	  exit 1; fi

bench: build
	@$(BUILD_DIR)/bench/veltrane_bench --benchmark_min_time=2
	@$(BUILD_DIR)/bench/veltrane_glbench --benchmark_min_time=2
	@$(BUILD_DIR)/bench/veltrane_export_bench
	@xvfb-run -a -s "-screen 0 1280x1024x24" $(BUILD_DIR)/bench/veltrane_window_bench

clean:
	@rm -rf $(BUILD_DIR)
