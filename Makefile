# make test    - install what is missing, build, run every test
# make demo    - build and run vorn on the examples in a scratch folder
# make bench   - time vorn on generated structures of about 1,000, 5,000 and 20,000 atoms
# make install PREFIX=/usr/local - the program in PREFIX/bin, the example databank
#                               in PREFIX/share/vorn/databank/vorn_db.txt, the guide
#                               in PREFIX/share/doc/vorn; builds the program only
#                               (in build-install/), without the tests, GoogleTest
#                               or a browser
# make deps / make test-deps  - the packages a build needs / those the tests add
# make test-sanitize          - the whole suite built with AddressSanitizer and UBSan
# make fuzz FUZZ_SECONDS=N    - every libFuzzer harness of fuzz/ for N seconds
#                               (make -j2 fuzz runs two harnesses at a time)
# make fuzz-coverage          - line coverage of src/ reached by the fuzz corpora
BUILD      ?= build
BUILD_INSTALL ?= build-install
BUILD_SAN  ?= build-sanitize
BUILD_FUZZ ?= build-fuzz
BUILD_FCOV ?= build-fuzz-coverage
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
BUILD_PACKAGES := cmake g++ make ninja-build gemmi-dev tao-pegtl-dev libstb-dev rapidjson-dev
TEST_PACKAGES  := libgtest-dev nlohmann-json3-dev libstb-dev chromium
FUZZ_PACKAGES := cmake make ninja-build gemmi-dev tao-pegtl-dev libstb-dev rapidjson-dev clang-16 libclang-rt-16-dev llvm-16
DEMO_DIR   ?= $(BUILD)/demo
PREFIX     ?= /usr/local
FUZZ_SECONDS ?= 60
FUZZ_HARNESSES := control shelx xd platon aim2tab databank symmetry cif
# A run longer than a few seconds on one input is a finding, as is a leak.
FUZZ_FLAGS ?= -timeout=5 -rss_limit_mb=2048 -print_final_stats=1

BENCH_DIR  ?= $(BUILD)/bench
BENCH_RUNS ?= 5
BENCH_SIZES ?= 1000 5000 20000

.PHONY: all deps test-deps fuzz-deps build test install demo bench test-sanitize fuzz fuzz-build fuzz-coverage clean

all: build

# Debian packages, installed with apt-get when run as root. A build of the
# program needs BUILD_PACKAGES and the page's viewer, which comes from the
# npm registry as package-lock.json pins it (node_modules/); the tests add
# GoogleTest, nlohmann/json (they read vorn.json back with a parser of their
# own), stb_image (screenshots) and chromium (the browser test of vorn.html).
# The fuzz harnesses need clang 16 (older clang cannot compile gemmi's CIF
# headers), its compiler runtime (libFuzzer) and its coverage tools.
define install_packages
	@missing=""; for p in $(1); do \
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
endef

deps fuzz-deps: node_modules/.package-lock.json
node_modules/.package-lock.json: package.json package-lock.json
	@command -v npm >/dev/null || { echo "npm is missing: install Node.js and npm"; exit 1; }
	npm ci --ignore-scripts --no-audit --no-fund
deps:
	$(call install_packages,$(BUILD_PACKAGES))
test-deps: deps
	$(call install_packages,$(TEST_PACKAGES))
fuzz-deps:
	$(call install_packages,$(FUZZ_PACKAGES))

$(BUILD)/build.ninja: CMakeLists.txt | test-deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

build: test-deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The program alone, in a build folder of its own whose configuration leaves
# the tests out, so that neither GoogleTest nor a browser is needed.
$(BUILD_INSTALL)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD_INSTALL) -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORN_TESTS=OFF

install: deps $(BUILD_INSTALL)/build.ninja
	cmake --build $(BUILD_INSTALL) -j $(JOBS) --target vorn
	cmake --install $(BUILD_INSTALL) --prefix $(PREFIX)

test-sanitize: test-deps
	cmake -S . -B $(BUILD_SAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=ON
	cmake --build $(BUILD_SAN) -j $(JOBS)
	cd $(BUILD_SAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

fuzz-build: fuzz-deps
	cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-16 \
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

# Every input of the seed corpora and of what make fuzz kept, run once by
# harnesses built for source coverage; the report covers each harness's
# reader files.
FCOV_control  := src/control/read_inp.cpp src/io/input_lines.cpp src/io/scanner.cpp src/io/textfile.cpp
FCOV_shelx    := src/structure/shelx_reader.cpp src/structure/shelx_atoms.cpp src/structure/atom_list.cpp \
                 src/symmetry/cards.cpp src/symmetry/lattice.cpp src/symmetry/cell.cpp
FCOV_xd       := src/structure/xd_reader.cpp src/structure/input_fault.cpp src/structure/atom_list.cpp \
                 src/symmetry/cards.cpp src/symmetry/lattice.cpp src/symmetry/cell.cpp
FCOV_platon   := src/structure/platon_reader.cpp src/structure/atom_types.cpp
FCOV_aim2tab  := src/structure/aim2tab_reader.cpp src/structure/atom_types.cpp
FCOV_databank := src/databank/databank.cpp
FCOV_symmetry := src/symmetry/cards.cpp src/symmetry/lattice.cpp
FCOV_cif      := src/structure/cif_reader.cpp src/structure/cif_values.cpp src/structure/cif_document.cpp src/symmetry/oplist.cpp src/structure/atom_list.cpp
define fuzz_cover
	@mkdir -p $(BUILD_FUZZ)/corpus/$(1)
	@LLVM_PROFILE_FILE=$(BUILD_FCOV)/profiles/$(1).profraw $(BUILD_FCOV)/fuzz_$(1) -runs=0 \
	  $(BUILD_FUZZ)/corpus/$(1) fuzz/corpus/$(1) > $(BUILD_FCOV)/profiles/$(1).log 2>&1
	@llvm-profdata-16 merge -sparse $(BUILD_FCOV)/profiles/$(1).profraw -o $(BUILD_FCOV)/profiles/$(1).profdata
	@echo "== fuzz_$(1)"
	@llvm-cov-16 report $(BUILD_FCOV)/fuzz_$(1) -instr-profile=$(BUILD_FCOV)/profiles/$(1).profdata $(FCOV_$(1))

endef

fuzz-coverage: fuzz-deps
	cmake -S . -B $(BUILD_FCOV) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++-16 \
	  -DVORN_FUZZ=ON -DVORN_TESTS=OFF -DCMAKE_CXX_FLAGS="-fprofile-instr-generate -fcoverage-mapping"
	cmake --build $(BUILD_FCOV) -j $(JOBS) --target fuzz_all
	@rm -rf $(BUILD_FCOV)/profiles && mkdir -p $(BUILD_FCOV)/profiles
	$(foreach h,$(FUZZ_HARNESSES),$(call fuzz_cover,$(h)))

demo: build
	@sh examples/run_demo.sh $(BUILD)/vorn $(DEMO_DIR)

bench: build
	$(BUILD)/vorn_bench run --without-record $(BUILD)/vorn_no_record --without-rho-cif $(BUILD)/vorn_no_rho_cif \
	  $(BUILD)/vorn $(BENCH_DIR) $(BENCH_RUNS) $(BENCH_SIZES)

clean:
	rm -rf $(BUILD) $(BUILD_INSTALL) $(BUILD_SAN) $(BUILD_FUZZ) $(BUILD_FCOV)
