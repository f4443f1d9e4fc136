# Velk: `make demo` and `make test` each install what is missing, configure, build and run.

comma := ,
SANITIZE ?=
ifeq ($(SANITIZE),)
BUILD_DIR ?= build
else
BUILD_DIR ?= build-$(subst $(comma),-,$(SANITIZE))
endif
JOBS ?= $(shell nproc)

# Debian 12 packages the build and the tests need.
PACKAGES := cmake ninja-build g++ pkg-config \
	libgtest-dev libgmock-dev libbenchmark-dev \
	libsqlite3-dev libsodium-dev libxml2-dev libcurl4-openssl-dev libssl-dev \
	libgupnp-1.6-dev libavahi-compat-libdnssd-dev nlohmann-json3-dev libcpp-httplib-dev libpng-dev \
	qt6-base-dev libxcb1-dev xvfb iproute2 util-linux dovecot-pop3d

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build test test-browser demo install fuzz clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
		echo "Installing:" $$missing; \
		$(SUDO) apt-get update -qq && \
		DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DVELK_SANITIZE=$(SANITIZE)

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

demo: build
	@tools/demo.sh $(BUILD_DIR)

# Programs, modules, desktop entries and the polkit action under PREFIX (default /usr/local);
# then the service registers itself and installs its systemd unit.
PREFIX ?= /usr/local
install: build
	$(SUDO) cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The browser page of a player's display in headless Chromium (skipped by `make test` where
# Chromium is missing).
test-browser: PACKAGES += chromium
test-browser: build
	cd $(BUILD_DIR) && ctest --output-on-failure -R display_page

# libFuzzer builds of the parsers' fuzz targets (clang); runs each for a short while.
fuzz: PACKAGES += clang libclang-rt-14-dev
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DVELK_FUZZ=ON -DVELK_SANITIZE=address,undefined
	cmake --build build-fuzz -j $(JOBS) --target fuzz_targets
	tests/fuzz/run_all.sh build-fuzz

clean:
	rm -rf build build-*
