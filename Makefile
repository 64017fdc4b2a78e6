# Two commands: `make run` and `make test`. Each installs what is missing on a
# Debian 12 machine, configures and builds, then runs.
BUILD   ?= build
PACKAGES = cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins fonts-dejavu-core libgl-dev libcurl4-openssl-dev \
           libgumbo-dev zlib1g-dev libgtest-dev libbenchmark-dev xvfb xauth xdotool imagemagick
SHELL    = /bin/bash

.PHONY: run test build deps configure clean

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

clean:
	rm -rf $(BUILD)
