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

# The tour of the five styles on the demo root the build prepares (extension
# installed, master switch on): live in a terminal (q quits), otherwise
# written to a GIF whose path it prints.
demo: build
	./build/$(PRESET)/sim/auroraribbon-sim --root build/$(PRESET)/demo-root --demo

clean:
	rm -rf build
