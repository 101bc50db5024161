# Shortcuts for machines that have make; the README's commands are the scripts.
.PHONY: run test build bench clean
run:
	@tools/run.sh
test:
	@tools/test.sh
build:
	@tools/build.sh
bench:
	@tools/bench.sh
clean:
	rm -rf build
