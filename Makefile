# ZELK: the two set-up commands are `make run` and `make test` (run as root on a fresh Debian machine).
JOBS ?= $(shell nproc)
CMAKE ?= cmake

.PHONY: run test bench deps build build-test build-bench update-golden package check-package clean

deps:
	bash scripts/install-deps

build: deps
	$(CMAKE) -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DZELK_WITH_QT=ON >/dev/null
	$(CMAKE) --build build/release --target zelk -j $(JOBS)

# Opens the window on the bundled example; without a display, runs a headless batch on a copy of it.
run: build
	bash scripts/run-example build/release/zelk

build-test: deps
	$(CMAKE) -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DZELK_SANITIZE=ON -DZELK_WITH_QT=ON >/dev/null
	$(CMAKE) --build build/test -j $(JOBS)

test: build-test
	cd build/test && QT_QPA_PLATFORM=offscreen \
	  ctest --output-on-failure -j $(JOBS) --timeout 600

# Rewrites the expected files of the golden test after a deliberate change (never part of
# `make test`); review the difference with git before committing it.
update-golden: build-test
	build/test/update_golden

build-bench: deps
	$(CMAKE) -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DZELK_BENCH=ON -DZELK_WITH_QT=ON >/dev/null
	$(CMAKE) --build build/bench --target zelk_benches -j $(JOBS)

bench: build-bench
	bash scripts/run-bench build/bench

# The Debian package of the release build: build/release/zelk_<version>_<arch>.deb.
package: build
	rm -f build/release/zelk_*.deb
	cd build/release && cpack -G DEB >/dev/null
	@ls build/release/zelk_*.deb

# Builds the package and checks its fields, its file list and the program unpacked from it.
check-package: package
	bash scripts/check-package build/release/zelk_*.deb

clean:
	rm -rf build
