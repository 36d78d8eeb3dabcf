#!/usr/bin/env bash
# Builds the Debian package: a release build of the three programs (no tests,
# no benchmarks) in build-package/, then cpack. Prints the package's path.
# Installs what it needs first (scripts/setup.sh).
#
#   QX_PACKAGE_DIR=DIR   build there instead of build-package
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
dir=${QX_PACKAGE_DIR:-build-package}

# Debian's optimisation (-O2) and hardening flags (read-only relocations,
# bound at start, stack protector, fortified functions); the release build
# adds only -DNDEBUG to them (its -O3 sets off GCC 12's false -Wrestrict
# alarm inside std::string). No -g: the programs are stripped anyway.
flags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g dpkg-buildflags --export=sh)
eval "$flags"

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" \
  -DQX_PACKAGE=ON -DQX_BUILD_APP=ON -DQX_BUILD_TESTS=OFF -DQX_BUILD_BENCH=OFF -DQX_BUILD_FUZZ=OFF \
  -DQX_SANITIZE= >/dev/null
cmake --build "$dir" -j "$(nproc)"
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/*.deb)
echo "package: $deb"
