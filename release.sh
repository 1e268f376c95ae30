#!/usr/bin/env bash
# release.sh -- installs what it needs, builds every artefact of a release at the version CMakeLists.txt's project()
# gives, and writes them with their checksums to build/dist/: the Debian package (the program preset), the 32- and
# 64-bit Windows ZIPs, the browser's static site (build/web, as published) as a ZIP, and SHA256SUMS.
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}" "${WEB_PACKAGES[@]}"

dist=build/dist
rm -rf "$dist"
mkdir -p "$dist"
cmake --preset program >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/program/CMakeCache.txt)
cmake --build --preset program --target package
cp "build/program/olvo-gl_${version}_amd64.deb" "$dist/"

# The exes alone: a release needs none of the Windows tests.
for preset in win32 win64; do
    cmake --preset $preset -DOLVO_BUILD_TESTS=OFF >/dev/null
    cmake --build --preset $preset --target package
    cp "build/$preset/olvo-gl-$version-$preset.zip" "$dist/"
done

cmake --preset web >/dev/null
cmake --build --preset web
site=build/olvo-gl-$version-web
rm -rf "$site"
cp -r build/web "$site"
cp LICENSE "$site/LICENSE.txt"
(cd build && cmake -E tar cf "dist/${site#build/}.zip" --format=zip "${site#build/}")
rm -rf "$site"

(cd "$dist" && sha256sum -- *.deb *.zip >SHA256SUMS)
echo "Olvo GL $version, in $dist:"
ls -l "$dist"
