#!/bin/sh
# Checks that libtarvo exports exactly its eight C entry points among the
# symbols it defines itself (sanitizer builds add their own, which are let be).
set -eu
library=$1
expected="EXIST pbProgressInit pbProgressInitZ pbProgressIsCancelled pbProgressPos pbProgressSet pbProgressSetZ pbProgressShutdown"
exported=$(nm -D --defined-only "$library" | awk '{print $3}' | grep -v -e '^__' -e '^_init$' -e '^_fini$' -e '^_edata$' -e '^_end$' -e '^__bss_start$' | sort)
wanted=$(printf '%s\n' $expected | sort)
if [ "$exported" != "$wanted" ]; then
    echo "exported symbols differ from the eight entry points:"
    echo "$exported"
    exit 1
fi
echo "exactly the eight entry points are exported"
