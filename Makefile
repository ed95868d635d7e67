# The two commands: `make run` and `make test`. `make bench` measures the hot paths.
JOBS ?= $(shell nproc)

.PHONY: deps test run bench release clean

deps:
	@scripts/install-deps.sh

test: deps
	scripts/check-format.sh
	cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DGBX_SANITIZE=ON -DGBX_WERROR=ON
	cmake --build build/test -j $(JOBS)
	cd build/test && ctest --output-on-failure -j $(JOBS)

release: deps
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DGBX_TESTS=OFF
	cmake --build build/release -j $(JOBS)

run: release
	@card=$$(build/release/app/GBX --has-card); \
	if [ -n "$$card" ]; then \
		echo "GBX: using the card at $$card"; exec build/release/app/GBX; \
	else \
		echo "GBX: no card mounted; using the demo card $(CURDIR)/build/release/demo-card/QM-3"; \
		GBX_VOLUMES="$(CURDIR)/build/release/demo-card/QM-3$${GBX_VOLUMES:+:$$GBX_VOLUMES}" \
			exec build/release/app/GBX; \
	fi

bench: deps
	cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DGBX_TESTS=OFF -DGBX_BENCH=ON
	cmake --build build/bench -j $(JOBS)
	tests/bench/run.sh build/bench

clean:
	rm -rf build
