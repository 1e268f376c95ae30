#!/bin/bash
# doc_pictures.sh -- makes the pictures of README.md and docs/how-it-draws.md with the project's own tools:
# olvo-frames renders the real scene offscreen, olvo-picture puts the example sprite in, ImageMagick lays the
# frames out and makes the animation.
#
#   tools/doc_pictures.sh [BUILD]   from the repository root; BUILD (default build/release) holds the tools
set -euo pipefail

build=${1:-build/release}
frames="$build/olvo-frames"
picture="$build/olvo-picture"
for tool in "$frames" "$picture"; do
    [[ -x $tool ]] || { echo "doc_pictures.sh: no $tool: build the release preset first" >&2; exit 1; }
done
command -v convert >/dev/null || { echo "doc_pictures.sh: ImageMagick's convert is missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# PNGs without time stamps, so a picture made again from the same frames has the same bytes.
still() { convert "${@:1:$#-1}" -strip -define png:exclude-chunks=date,time "${@: -1}"; }
render() {  # render NAME [OPTION...] FRAME...: olvo-frames into $work/NAME, quietly
    local name=$1 options=()
    shift
    while [[ $1 == --* ]]; do
        options+=("$1")
        [[ $1 == --layers ]] && { shift; options+=("$1"); }
        shift
    done
    "$frames" "${options[@]}" "$work/$name" "$@" >/dev/null
}
tile() { echo "$work/$1/frame-$(printf %04d "$2").png"; }
strip() {  # strip OUT TILE...: tiles of 320 x 240 side by side with a dark gap
    local out=$1
    shift
    still -background '#303030' "$@" -resize 320x240 -bordercolor '#303030' -border 4 +append "$out"
}

# The scene at a frame where the grid is twisted nearly the most (the twist follows the sine of 0.3 rad a frame).
shot=5

# Each layer alone, then the layers blended in order.
layers=(starfield ship light sprite)
alone=() upto=() list=""
for layer in "${layers[@]}"; do
    list=${list:+$list,}$layer
    render "alone-$layer" --layers "$layer" "$shot"
    render "upto-$layer" --layers "$list" "$shot"
    alone+=("$(tile "alone-$layer" "$shot")")
    upto+=("$(tile "upto-$layer" "$shot")")
done
strip docs/layers-alone.png "${alone[@]}"
strip docs/layers-blended.png "${upto[@]}"

# The sprite's grid untwisted and twisted, and the sprite on each.
render grid-flat --layers sprite --grid --untwisted "$shot"
render grid-twisted --layers sprite --grid "$shot"
render sprite-flat --layers sprite --untwisted "$shot"
strip docs/grid.png "$(tile grid-flat "$shot")" "$(tile grid-twisted "$shot")" "$(tile sprite-flat "$shot")" \
    "$(tile alone-sprite "$shot")"

# A few frames of the animation, five apart.
render run 1 6 11 16
strip docs/frames.png "$(tile run 1)" "$(tile run 6)" "$(tile run 11)" "$(tile run 16)"

# The animation at the top of the README: every other frame of the first 100, at 25 a second (2 s, looping),
# at 320 x 240 in 64 colours, which keeps it to a few hundred KB.
# shellcheck disable=SC2046
render anim $(seq 1 2 99)
convert -delay 4 -loop 0 "$work"/anim/frame-*.png -resize 320x240 -fuzz 6% +dither -colors 64 \
    -layers OptimizeTransparency docs/scene.gif

# Your own picture as the sprite, before and after: an example PNG with transparency, 300 x 240 as an editor
# would save it, put in with olvo-picture in a copy of data/.
still -size 300x240 xc:none -depth 8 -fill '#3cb44b' -stroke '#1a5e22' -strokewidth 8 \
    -draw "ellipse 150,135 110,95 0,360" -fill white -strokewidth 4 -draw "circle 110,110 110,140" \
    -draw "circle 190,110 190,140" -fill '#202020' -stroke none -draw "circle 115,115 115,128" \
    -draw "circle 185,115 185,128" -fill none -stroke '#1a5e22' -strokewidth 8 -draw "arc 105,140 195,200 20,160" \
    -fill '#3cb44b' -strokewidth 6 -draw "polygon 95,55 75,8 120,45" -draw "polygon 205,55 225,8 180,45" \
    docs/example-sprite.png
mkdir -p "$work/own"
cp -r data "$work/own/data"
"$picture" make --fit 256x256 docs/example-sprite.png "$work/own/data/merolan.bmp" \
    "$work/own/data/merolan_alpha.bmp" >/dev/null
"$picture" check "$work/own" >/dev/null
render before "$shot"
frames=$(realpath "$frames")
(cd "$work/own" && "$frames" "$work/after" "$shot" >/dev/null)
strip docs/own-picture.png "$(tile before "$shot")" "$(tile after "$shot")"

ls -l docs/layers-alone.png docs/layers-blended.png docs/grid.png docs/frames.png docs/scene.gif docs/own-picture.png
