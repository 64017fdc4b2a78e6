# Two commands: `make run` and `make test`. Each installs what is missing on a
# Debian 12 machine, configures and builds, then runs.
BUILD   ?= build
PACKAGES = cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins fonts-dejavu-core fonts-liberation2 libgl-dev libcurl4-openssl-dev \
           libgumbo-dev zlib1g-dev libgtest-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev libtomlplusplus-dev libre2-dev libxml2-dev xvfb xauth xdotool imagemagick \
           clang libclang-rt-14-dev tinyproxy
SHELL    = /bin/bash

.PHONY: run test build deps configure clean fuzz sanitize tsan bench

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing: $$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD) -G Ninja

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 300

run: build
	tools/run-demo.sh $(BUILD)

# The benchmarks, by hand: a whole ranking run and Get Lists both ways, a
# ranking through the real window, then the page index beside gumbo's own
# parse.
bench: build
	$(BUILD)/tools/bench/rank_run 500 50
	$(BUILD)/tools/bench/list_run 50 200
	$(BUILD)/tools/bench/window_run 50
	$(BUILD)/tools/bench/index_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) $(ASAN_BUILD) $(TSAN_BUILD)

# The parsers under libFuzzer, each for a bounded time, in a clang build with
# AddressSanitizer and UndefinedBehaviorSanitizer; any crash, leak, sanitizer
# report or slow input stops the run with a nonzero status. The corpus in the
# repository is only read; what the fuzzer learns goes to the build folder.
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 30
FUZZ_TARGETS  = fuzz_pageindex fuzz_charset fuzz_leadingnumber fuzz_newsdate fuzz_url fuzz_listfile fuzz_catalogue fuzz_locators
FUZZ_ENV      = ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

$(FUZZ_BUILD)/build.ninja: CMakeLists.txt | deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DVELTROP_FUZZ=ON

fuzz: $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) --target $(FUZZ_TARGETS)
	@set -e; for t in $(FUZZ_TARGETS); do \
	  name=$${t#fuzz_}; work=$(FUZZ_BUILD)/corpus/$$name; mkdir -p $$work $(FUZZ_BUILD)/crashes; \
	  echo "== $$t ($(FUZZ_SECONDS) s)"; \
	  dict=; if [ -f tests/fuzz/$$name.dict ]; then dict=-dict=tests/fuzz/$$name.dict; fi; \
	  $(FUZZ_ENV) $(FUZZ_BUILD)/tests/fuzz/$$t $$dict -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	    -rss_limit_mb=2048 -malloc_limit_mb=2048 -max_len=65536 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/crashes/$$name- $$work tests/fuzz/corpus/$$name \
	    2>$(FUZZ_BUILD)/$$t.log || { tail -n 60 $(FUZZ_BUILD)/$$t.log; exit 1; }; \
	  grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb)' $(FUZZ_BUILD)/$$t.log || true; \
	done

# The whole test suite, the window's tests included, once more in a gcc build
# with AddressSanitizer and UndefinedBehaviorSanitizer and leak checking.
ASAN_BUILD ?= build-asan
SAN_FLAGS   = -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer
SAN_ENV     = ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 \
              LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitize/lsan.supp:print_suppressions=1 \
              UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

$(ASAN_BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_CXX_FLAGS="$(SAN_FLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$(SAN_FLAGS)"

sanitize: $(ASAN_BUILD)/build.ninja
	$(SAN_ENV) cmake --build $(ASAN_BUILD)
	cd $(ASAN_BUILD) && $(SAN_ENV) QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600

# The logic, engine and simulated-web tests once more under ThreadSanitizer:
# every page is read on the engine's threads and handed to the window's. The
# window's tests stay out (Qt itself is not instrumented). Nothing of the
# project's own code is suppressed. The two tests that bound memory stay out
# too, as the address sanitizer run keeps them: ThreadSanitizer's shadow
# memory counts in what they measure, and one of them measures in forked
# children that start threads, which it cannot follow across a fork.
TSAN_BUILD ?= build-tsan
TSAN_FLAGS  = -fsanitize=thread -fno-omit-frame-pointer
TSAN_ENV    = TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:history_size=4

$(TSAN_BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_CXX_FLAGS="$(TSAN_FLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$(TSAN_FLAGS)"

tsan: $(TSAN_BUILD)/build.ninja
	$(TSAN_ENV) cmake --build $(TSAN_BUILD) --target core_tests web_tests simweb_tests cli_tests veltrop-cli
	cd $(TSAN_BUILD) && $(TSAN_ENV) ctest --output-on-failure --timeout 600 -E '^tst_|^Hostile\.HugeDeep|^FaultFetcher\.HugeBodies'

# ---- The Debian package ------------------------------------------------------
# `make deb`: dpkg-buildpackage over debian/ (debhelper over the CMake build) in
# a copy of the tree under build-deb/, so that what it writes beside the tree
# stays there; the package lands in dist/. The tests are left to `make test`
# (nocheck). `make package-check` checks the package as CI does.
DEB_BUILD    ?= build-deb
DEB_PACKAGES  = debhelper dpkg-dev fakeroot lintian desktop-file-utils appstream xvfb xauth xdotool procps

# Installs the packages of $(1) that are missing, as `deps` does.
define install_missing
@missing=$$(for p in $(1); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
if [ -n "$$missing" ]; then \
  echo "Installing: $$missing"; \
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
fi
endef

.PHONY: deb package-check
deb: deps
	$(call install_missing,$(DEB_PACKAGES))
	rm -rf $(DEB_BUILD) && mkdir -p $(DEB_BUILD)/veltrop dist
	git ls-files -co --exclude-standard -z | tar --null --ignore-failed-read -T - -cf - | tar -xf - -C $(DEB_BUILD)/veltrop
	cd $(DEB_BUILD)/veltrop && DEB_BUILD_OPTIONS="nocheck parallel=$$(nproc)" dpkg-buildpackage -b -us -uc -Pnocheck
	rm -f dist/veltrop_*.deb && cp $(DEB_BUILD)/veltrop_*.deb dist/
	@ls -l dist/veltrop_*.deb

package-check: deb
	tools/package-check.sh $$(ls dist/veltrop_*.deb | head -n 1)
