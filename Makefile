# The two commands of the README.
.PHONY: test build bench clean
test:
	@tools/test.sh
build:
	@tools/bootstrap.sh && cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake && cmake --build build
bench: build
	@for b in build/bin/bench_*.exe; do tools/wine-run $$b; done
clean:
	rm -rf build
