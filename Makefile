# The two commands of the README.
.PHONY: run test build bench clean
run: build
	@if [ -f build/bin/kalmoraTessaro.exe ]; then tools/wine-run build/bin/kalmoraTessaro.exe; \
	 else echo "kalmoraTessaro.exe is not built yet: the program is still to come (see README)"; exit 1; fi
test:
	@tools/test.sh
build:
	@tools/build.sh
bench:
	@tools/build.sh bench
	@for b in build/bin/bench_*.exe; do tools/wine-run $$b; done
clean:
	rm -rf build
