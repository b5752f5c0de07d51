# The two commands of the README, and the steps under them.
#   make demo  - install what is missing, build, run the simulator tour
#   make test  - install what is missing, build, run every test
# Both build the optimized release preset, as a package is built; PRESET=dev for a debug build.
#   make studio - the settings pane as a local web page, the pills live beside it (demo root)
# Shape:
#   make format        - every C++ file into the house's shape (.clang-format)
#   make format-check  - fails when a file is not in it
#   make tidy          - clang-tidy over every source (CI checks those changed since the last clean run)
# Hardening:
#   make fuzz        - build the libFuzzer targets (clang) and run each for FUZZ_SECONDS
#   make soak        - a day of virtual time in a host, with a census per hour
#   make robustness  - every hardening check, its figures written to docs/robustness.md
# Performance, on the release preset (figures and targets in docs/performance.md):
#   make bench       - every benchmark beside its baseline, then their ratios
#   make callgrind   - instructions per wave update, spectrum step and layout pass
#   make throughput  - one hour of virtual time with ten pills, timed
#   make idle        - the live view's CPU time and wake-ups with the Static and Wave styles
#   make studio-cost - the studio's frame rate, its CPU share and its page's in headless Chromium, and its PUT-to-re-read latency
#   make studio-floor - what bare pages spend in headless Chromium to show the same live preview, the least any page can
#   make studio-load - the studio beside crowds of idle and half-sent connections, and under polling
#   make studio-audit - Lighthouse's scores for the studio's page (Debian's Chromium), failing under their targets
PRESET ?= release
JOBS   ?= 2
FUZZ_SECONDS ?= 60

.PHONY: all deps build test asan tsan demo studio clean format format-check tidy fuzz soak robustness bench-build bench callgrind throughput idle studio-cost studio-floor studio-load studio-audit

all: build

deps:
	@./scripts/install-deps packages.txt
	@./scripts/install-node-modules

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	ctest --preset $(PRESET) -j $(JOBS)

asan:
	$(MAKE) test PRESET=asan

tsan:
	$(MAKE) test PRESET=tsan

# The tour of the five styles on the demo root the build prepares (extension
# installed, master switch on): live in a terminal (q quits), otherwise
# written to a GIF whose path it prints.
demo: build
	./build/$(PRESET)/sim/auroraribbon-sim --root build/$(PRESET)/demo-root --demo

fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	./fuzz/run build/fuzz $(FUZZ_SECONDS) $(JOBS)

# Serves http://127.0.0.1:8765/ until Ctrl-C.
studio: build
	./build/$(PRESET)/studio/auroraribbon-studio --root build/$(PRESET)/demo-root

soak: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS) --target auroraribbon-soak
	./build/$(PRESET)/hardening/auroraribbon-soak

# Includes the figures of the last `make fuzz`, when there was one.
robustness: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS) --target auroraribbon-robustness
	./build/$(PRESET)/hardening/auroraribbon-robustness --out docs/robustness.md \
	  $(if $(wildcard build/fuzz/fuzz-summary.tsv),--fuzz-summary build/fuzz/fuzz-summary.tsv)

bench-build: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS) --target auroraribbon-bench auroraribbon-opcount auroraribbon-sim auroraribbon-studio

bench: bench-build
	./bench/ratios build/release

callgrind: bench-build
	./bench/callgrind-counts build/release

throughput: bench-build
	./bench/throughput build/release

studio-cost: bench-build
	./bench/studio-cost build/release

studio-floor: bench-build
	./bench/preview-floor build/release

studio-load: bench-build
	./bench/studio-load build/release

studio-audit: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS) --target auroraribbon-studio
	./bench/studio-audit build/release

idle: bench-build
	./bench/idle-cost build/release Static 10
	./bench/idle-cost build/release Wave 10

# The house's shape (.clang-format) and a focused clang-tidy (.clang-tidy).
CXX_SOURCES = $(shell git ls-files '*.cpp' '*.h')

format:
	clang-format -i $(CXX_SOURCES)

format-check: deps
	clang-format --dry-run -Werror $(CXX_SOURCES)

tidy: deps
	./scripts/tidy

clean:
	rm -rf build
