#!/bin/sh
# olvo-gl -- starts the installed program in the folder of its pictures, which it reads from data/: the program
# is PREFIX/lib/olvo-gl/olvo-gl, the pictures PREFIX/share/olvo-gl/data, and this launcher PREFIX/bin/olvo-gl.
prefix=$(dirname "$(dirname "$(readlink -f "$0")")")
cd "$prefix/share/olvo-gl" || exit 1
exec "$prefix/lib/olvo-gl/olvo-gl" "$@"
