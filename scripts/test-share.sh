#!/usr/bin/env bash
# Counts the lines of the product's code (everything that builds the two programs, the
# simulated module and their build files) and of tests/, and the tests' share of the product.
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
    find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.py' -o -name '*.sh' \
        -o -name '*.cmake' -o -name CMakeLists.txt \) -not -path '*/corpus/*' -print0 |
        xargs -0 cat | wc -l
}
product=$(($(count app cli config firmware pages platform report res scan serial sim terminal \
    webupdate cmake data) + $(wc -l <CMakeLists.txt)))
tests=$(count tests)
echo "product: $product lines"
echo "tests:   $tests lines ($((100 * tests / product))% of the product)"
