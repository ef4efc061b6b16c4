# Katalox: `make run` starts the program, `make test` builds and runs every test.
BUILD      ?= build
RELEASE    ?= build-release
ASAN       ?= build-asan
PACKAGING  ?= build-package
RUNDIR     ?= run
JOBS       ?= 2

.PHONY: all deps build run test install package bench bench-large sanitize format clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(BUILD) -j$(JOBS)

# The run folder survives rebuilds: config.ini and the empty catalogue are made only if missing.
run: build
	@scripts/prepare-run-folder.sh $(RUNDIR) $(BUILD)/tools/katalox-newcatalog
	cd $(RUNDIR) && $(abspath $(BUILD))/katalox

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# Installs under PREFIX (default /usr/local); DESTDIR stages the files in another folder.
PREFIX     ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package built in Release, checked by lintian.
package: deps
	cmake -S . -B $(PACKAGING) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
	cmake --build $(PACKAGING) -j$(JOBS) --target katalox katalox-newcatalog compressed_docs
	cd $(PACKAGING) && cpack
	lintian --fail-on error $(PACKAGING)/katalox_*.deb

bench: deps
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
	cmake --build $(RELEASE) -j$(JOBS)
	@scripts/run-benchmarks.sh $(RELEASE)/bench

# Ten million records: generated once per run (several minutes), then listed and maintained;
# the same on a throwaway PostgreSQL server (PG_RECORDS of them there).
PG_RECORDS ?= 10000000
bench-large: deps
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
	cmake --build $(RELEASE) -j$(JOBS) --target large_listing
	QT_QPA_PLATFORM=offscreen KATALOX_BENCH_PG_RECORDS=$(PG_RECORDS) \
	  scripts/with-bench-server.sh $(RELEASE)/bench/large_listing $(LARGE_CATALOG)

sanitize: deps
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DKATALOX_SANITIZE=ON
	cmake --build $(ASAN) -j$(JOBS)
	cd $(ASAN) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j$(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(RELEASE) $(ASAN) $(PACKAGING)
