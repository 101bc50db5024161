# The two commands of the README.
.PHONY: run test build bench clean
run: build
	@if [ -f build/bin/kalmoraTessaro.exe ]; then tools/wine-run build/bin/kalmoraTessaro.exe; \
	 else echo "kalmoraTessaro.exe is not built yet: the program is still to come (see README)"; exit 1; fi
test:
	@tools/test.sh
build:
	@tools/bootstrap.sh && cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake && cmake --build build
bench:
	@tools/bootstrap.sh bench && $(MAKE) --no-print-directory build
	@for b in build/bin/bench_*.exe; do tools/wine-run $$b; done
clean:
	rm -rf build
