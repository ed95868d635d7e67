# The two commands: `make run` and `make test`. `make bench` measures the hot paths.
JOBS ?= $(shell nproc)
SAN_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=1 \
          UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
          LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp

.PHONY: deps test run bench release clean

deps:
	@scripts/install-deps.sh

test: deps
	scripts/check-format.sh
	cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DGBX_SANITIZE=ON -DGBX_WERROR=ON
	cmake --build build/test -j $(JOBS)
	cd build/test && $(SAN_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

release: deps
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DGBX_TESTS=OFF
	cmake --build build/release -j $(JOBS)

run: release
	@if [ -x build/release/app/GBX ]; then exec build/release/app/GBX; \
	else echo "GBX: the editor is not built yet; only its libraries exist so far." >&2; exit 1; fi

bench: deps
	cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DGBX_TESTS=OFF -DGBX_BENCH=ON
	cmake --build build/bench -j $(JOBS)
	tests/bench/run.sh build/bench

clean:
	rm -rf build
