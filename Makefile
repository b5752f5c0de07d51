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

demo: build
	@echo "The simulator is not built yet: there is no demo to run so far."

clean:
	rm -rf build
