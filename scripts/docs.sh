#!/bin/sh
# Regenerates what docs/ derives from the build: docs/parameters.md (every
# parameter key from the renderer's own listing) and the example frames the
# README shows (docs/img/*.png). Run from the repository after a build:
#   scripts/docs.sh [build-dir]
set -eu
build=${1:-build}
render="$build/vemaro-render"
"$render" --list-params --json | python3 scripts/params_md.py > docs/parameters.md
# Half-size frames keep the pictures small.
for scene in grid circle path shape-layer over-photo transition; do
    frame=10
    [ "$scene" = transition ] && frame=20
    "$render" --scene "examples/$scene.json" --frames $frame --downsample 2 --out "docs/img/$scene.png" 2>/dev/null
done
echo "docs/parameters.md and docs/img/ are up to date"
