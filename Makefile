# Front door of the build: installs what is missing, then drives CMake.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
DATA_DIR   ?= $(HOME)/.local/share/ketatobi

.PHONY: all deps configure build run test test-normal test-asan bench package lint fuzz clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Starts the program inside the per-user data folder that holds its two data files.
run: build
	mkdir -p "$(DATA_DIR)"
	cd "$(DATA_DIR)" && exec "$(CURDIR)/$(BUILD)/app/ketatobi"

test: test-normal test-asan

test-normal: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The same tests with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKETATOBI_SANITIZE=ON -DKETATOBI_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

bench: build
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	@for b in $(BUILD)/bench/bench_*; do \
	  if [ -f "$$b" ] && [ -x "$$b" ]; then echo "== $$b"; QT_QPA_PLATFORM=offscreen "$$b" || exit 1; fi; \
	done

# A .deb of the program, its help, icon, desktop entry and metadata.
package: build
	cd $(BUILD) && cpack -G DEB
	@ls -l $(BUILD)/*.deb

# libFuzzer targets (clang) for the file readers and the number reading, 60 seconds each.
fuzz: deps
	scripts/fuzz.sh

# clang-tidy over the program's code and clang-format over everything, both at zero findings.
SOURCES = $(shell git ls-files 'engine/*.cpp' 'store/*.cpp' 'ui/*.cpp' 'app/*.cpp' 'app/**/*.cpp')
FORMATTED = $(shell git ls-files '*.cpp' '*.h')
lint: build
	clang-format --dry-run -Werror $(FORMATTED)
	clang-tidy -p $(BUILD) --quiet $(SOURCES)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
