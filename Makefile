# The two commands of the README:
#   make test   builds everything and runs every test
#   make run    builds the program and starts it in front of simulated drives
BUILD      := build
HOST_BUILD := build-host
JOBS       ?= 2

.PHONY: all deps build host cross prefix test run bench clean

all: build

deps:
	@scripts/install-deps.sh

host: deps
	@cmake -S . -B $(HOST_BUILD) -DKESVORA_HOST=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(HOST_BUILD) -j$(JOBS)

cross: deps host
	@cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DKESVORA_HOST_BUILD=$(CURDIR)/$(HOST_BUILD) >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

build: host cross

prefix: deps
	@scripts/prepare-wineprefix.sh $(CURDIR)/$(BUILD)/wineprefix

test: build prefix
	@scripts/run-tests.sh

run: cross prefix
	@scripts/run-demo.sh

bench: build prefix
	@scripts/run-benchmarks.sh

clean:
	rm -rf $(BUILD) $(HOST_BUILD)
