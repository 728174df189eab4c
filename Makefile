# make test  - install what is missing, build, run every test
# make demo  - build and run vorn on the examples in a scratch folder
# make test-sanitize          - the whole suite built with AddressSanitizer and UBSan
# make fuzz FUZZ_SECONDS=N    - every libFuzzer harness of fuzz/ for N seconds
#                               (make -j2 fuzz runs two harnesses at a time)
BUILD      ?= build
BUILD_SAN  ?= build-sanitize
BUILD_FUZZ ?= build-fuzz
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
PACKAGES   := cmake g++ make ninja-build libgtest-dev
FUZZ_PACKAGES := cmake make ninja-build clang libclang-rt-14-dev
DEMO_DIR   ?= $(BUILD)/demo
FUZZ_SECONDS ?= 60
FUZZ_HARNESSES := control shelx xd platon aim2tab databank symmetry
# A run longer than a few seconds on one input is a finding, as is a leak.
FUZZ_FLAGS ?= -timeout=5 -rss_limit_mb=2048 -print_final_stats=1

.PHONY: all deps fuzz-deps build test demo test-sanitize fuzz fuzz-build clean

all: build

# Debian packages the build needs; installed with apt-get when run as root.
# The fuzz harnesses need clang and its compiler runtime (libFuzzer) too.
deps: PKGS = $(PACKAGES)
fuzz-deps: PKGS = $(FUZZ_PACKAGES)
deps fuzz-deps:
	@missing=""; for p in $(PKGS); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = "0" ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	  else \
	    echo "Missing packages:$$missing (run make as root, or install them)"; exit 1; \
	  fi; \
	fi

$(BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(BUILD_SAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=ON
	cmake --build $(BUILD_SAN) -j $(JOBS)
	cd $(BUILD_SAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

fuzz-build: fuzz-deps
	cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DVORN_FUZZ=ON -DVORN_TESTS=OFF
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target fuzz_all

# Each harness starts from its seed corpus in fuzz/corpus/ and keeps what it
# finds in $(BUILD_FUZZ)/corpus/ (the seeds in the repository stay as they
# are); a finding stops the harness and leaves its input in
# $(BUILD_FUZZ)/findings/.
fuzz: $(addprefix fuzz-,$(FUZZ_HARNESSES))

$(addprefix fuzz-,$(FUZZ_HARNESSES)): fuzz-%: fuzz-build
	@mkdir -p $(BUILD_FUZZ)/corpus/$* $(BUILD_FUZZ)/findings/$*
	@echo "fuzz_$*: $(FUZZ_SECONDS) s from fuzz/corpus/$* (log: $(BUILD_FUZZ)/fuzz-$*.log)"
	@if $(BUILD_FUZZ)/fuzz_$* $(FUZZ_FLAGS) -max_total_time=$(FUZZ_SECONDS) \
	    -artifact_prefix=$(BUILD_FUZZ)/findings/$*/ $(BUILD_FUZZ)/corpus/$* fuzz/corpus/$* \
	    > $(BUILD_FUZZ)/fuzz-$*.log 2>&1; then \
	  grep -E '^(stat::|Done)' $(BUILD_FUZZ)/fuzz-$*.log | sed 's/^/  $*: /'; \
	else \
	  tail -n 60 $(BUILD_FUZZ)/fuzz-$*.log; echo "fuzz_$*: FINDING, input in $(BUILD_FUZZ)/findings/$*/"; exit 1; \
	fi

demo: build
	@sh examples/run_demo.sh $(BUILD)/vorn $(DEMO_DIR)

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_FUZZ)
