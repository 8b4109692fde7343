# The two commands of the README:
#   make test   builds everything and runs every test
#   make run    builds the program and starts it in front of simulated drives
# The Windows program is built twice from one source: build/ holds the
# 32-bit tree (the main program), build64/ the 64-bit one; build-host/ the
# native sanitizer tests and fuzz targets.
BUILD32    := build
BUILD64    := build64
HOST_BUILD := build-host
JOBS       ?= 2

.PHONY: all deps build host cross cross32 cross64 test run bench clean

all: build

deps:
	@scripts/install-deps.sh

host: deps
	@test -f $(HOST_BUILD)/CMakeCache.txt || cmake -S . -B $(HOST_BUILD) -DKESVORA_HOST=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(HOST_BUILD) -j$(JOBS)

# A tree is configured once; later builds re-run CMake by themselves.
cross32: deps
	@test -f $(BUILD32)/CMakeCache.txt || cmake -S . -B $(BUILD32) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	@cmake --build $(BUILD32) -j$(JOBS)

cross64: deps
	@test -f $(BUILD64)/CMakeCache.txt || cmake -S . -B $(BUILD64) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
	@cmake --build $(BUILD64) -j$(JOBS)

cross: cross32 cross64

build: host cross

test: build
	@scripts/run-tests.sh

run: cross
	@scripts/run-demo.sh

bench: cross
	@scripts/run-benchmarks.sh

clean:
	rm -rf $(BUILD32) $(BUILD64) $(HOST_BUILD)
