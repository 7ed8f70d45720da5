# Entry points for a fresh machine: `make demo` and `make test`.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: deps configure build demo test test-asan test-tsan bench clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_WERROR=ON $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

demo: build
	$(BUILD)/examples/orvo-demo $(BUILD)/demo

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

test-asan:
	$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DORVO_SANITIZE=address,undefined -DORVO_BUILD_BENCH=OFF"

test-tsan:
	$(MAKE) test BUILD=build-tsan CMAKE_FLAGS="-DORVO_SANITIZE=thread -DORVO_BUILD_BENCH=OFF"

bench: build
	@for b in $(BUILD)/bench/*_bench; do [ -x "$$b" ] && "$$b"; done; true

clean:
	rm -rf build build-asan build-tsan
