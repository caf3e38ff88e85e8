# Front door of the build: installs what is missing, then drives CMake through the presets of
# CMakePresets.json (normal: build/, sanitizer: build-asan/, fuzz: build-fuzz/, release:
# build-release/).
JOBS ?= $(shell nproc)
# In CI (CI=true) every compiler warning fails the build.
WERROR = -DKETATOBI_WERROR=$(if $(CI),ON,OFF)

.PHONY: all deps configure build run test test-normal test-asan test-web web web-run bench package lint fuzz clean

all: build

deps:
	@scripts/install-deps.sh

# Configured again when the presets change, so that an older folder takes the new settings.
build/CMakeCache.txt: CMakePresets.json
	cmake --preset normal $(WERROR)

configure: deps build/CMakeCache.txt

build: configure
	cmake --build --preset normal -j $(JOBS)

# The data files live in the per-user data folder, as when started from the desktop menu.
run: build
	build/app/ketatobi --user-data

test: test-normal test-asan test-web

test-normal: build
	ctest --preset normal -j $(JOBS)

# The same tests with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake --preset sanitizer $(WERROR)
	cmake --build --preset sanitizer -j $(JOBS)
	ctest --preset sanitizer -j $(JOBS)

# The browser edition: the same C++ compiled to WebAssembly with Debian's emscripten, and the
# page; build-web/site is what a static host serves. Emscripten's optimizer takes Debian's copies
# of its Node.js modules, also where another Node.js comes first on the PATH.
EMSDK_ENV = NODE_PATH=/usr/share/nodejs
web: deps web/node_modules/.package-lock.json
	$(EMSDK_ENV) emcmake cmake -S web -B build-web -DCMAKE_BUILD_TYPE=Release $(WERROR)
	$(EMSDK_ENV) cmake --build build-web -j $(JOBS)

# Serves build-web/site on 127.0.0.1 and prints the address (PORT=0 takes a free port).
PORT ?= 8080
web-run: web
	python3 web/serve.py --port $(PORT) build-web/site

# The native and WebAssembly builds compared, and the page in headless Chromium.
test-web: build web web/node_modules/.package-lock.json
	ctest --test-dir build-web --output-on-failure

# The npm packages (SQLite's source for the module, axe-core for the tests), exactly as the
# committed lock file has them; no package's install script runs.
web/node_modules/.package-lock.json: web/package-lock.json
	cd web && npm ci --ignore-scripts --no-audit --no-fund

bench: build web
	cmake --build --preset normal -j $(JOBS) --target benchmarks
	@for b in build/bench/bench_*; do \
	  if [ -f "$$b" ] && [ -x "$$b" ]; then echo "== $$b"; QT_QPA_PLATFORM=offscreen "$$b" || exit 1; fi; \
	done
	@echo "== web/bench/bench_page.py"; /usr/bin/python3 web/bench/bench_page.py build-web/site

# A .deb of the program alone (no test packages needed), hardened, checked by lintian when it
# is installed.
package: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
	cd build-release && cpack -G DEB
	@ls -l build-release/*.deb
	@if command -v lintian >/dev/null; then \
	  lintian --fail-on error,warning --display-info build-release/*.deb; \
	fi

# libFuzzer targets (clang) for the file readers and the number reading, 60 seconds each.
fuzz: deps
	scripts/fuzz.sh

# clang-tidy over the program's code and clang-format over everything, both at zero findings.
SOURCES = $(shell git ls-files 'engine/*.cpp' 'analysis/*.cpp' 'store/*.cpp' 'ui/*.cpp' 'app/*.cpp' 'app/**/*.cpp')
FORMATTED = $(shell git ls-files '*.cpp' '*.h')
lint: build
	clang-format --dry-run -Werror $(FORMATTED)
	clang-tidy -p build --quiet $(SOURCES)

clean:
	rm -rf build build-asan build-release build-web
