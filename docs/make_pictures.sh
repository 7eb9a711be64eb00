#!/usr/bin/env bash
# Redraws the pictures of the README and MANUAL from the program itself: the
# page of a six-coordinate cobalt centre and the page of a survey of the test
# data, rendered by headless Chromium. Run from anywhere after a build in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
shot() {  # page, picture, width, height
  chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --no-first-run \
    --user-data-dir="$work/profile" --window-size="$3,$4" --screenshot="$2" "file://$1" 2>/dev/null
}
(cd tests/data && ../../build/koravel cod_7051132.cif Co1 --html="$work/run.html" >/dev/null)
shot "$work/run.html" docs/run_page.png 900 1000
build/koravel --survey tests/data --format=html >"$work/survey.html" || true
shot "$work/survey.html" docs/survey_page.png 1100 900
