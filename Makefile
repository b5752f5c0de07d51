# The two commands of the README, and the steps under them.
#   make demo  - install what is missing, build, run the simulator tour
#   make test  - install what is missing, build, run every test
PRESET ?= dev
JOBS   ?= 2

.PHONY: all deps build test asan tsan demo clean

all: build

deps:
	@./scripts/install-deps packages.txt

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	ctest --preset $(PRESET) -j $(JOBS)

asan:
	$(MAKE) test PRESET=asan

tsan:
	$(MAKE) test PRESET=tsan

# Until the live terminal view exists, the demo prints the trace of a few
# virtual seconds on the demo root the build prepares (extension installed,
# master switch on).
demo: build
	./build/$(PRESET)/sim/auroraribbon-sim --root build/$(PRESET)/demo-root --trace - --duration 3

clean:
	rm -rf build
