# make test  - install what is missing, build, run every test
# make demo  - build and run vorn on the examples in a scratch folder
# make bench - time vorn on generated structures of about 1,000, 5,000 and 20,000 atoms
BUILD      ?= build
BUILD_SAN  ?= build-sanitize
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
PACKAGES   := cmake g++ make ninja-build libgtest-dev gemmi-dev tao-pegtl-dev libstb-dev
DEMO_DIR   ?= $(BUILD)/demo

BENCH_DIR  ?= $(BUILD)/bench
BENCH_RUNS ?= 5
BENCH_SIZES ?= 1000 5000 20000

.PHONY: all deps build test demo bench test-sanitize clean

all: build

# Debian packages the build needs; installed with apt-get when run as root.
deps:
	@missing=""; for p in $(PACKAGES); do \
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
	cd $(BUILD_SAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

demo: build
	@sh examples/run_demo.sh $(BUILD)/vorn $(DEMO_DIR)

bench: build
	$(BUILD)/vorn_bench run $(BUILD)/vorn $(BENCH_DIR) $(BENCH_RUNS) $(BENCH_SIZES)

clean:
	rm -rf $(BUILD) $(BUILD_SAN)
