# Sourced by the build scripts: sets compiler_launcher to use ccache when it is installed.
# Paths are hashed relative to the checkout, so a fresh clone reuses what another clone compiled.
compiler_launcher=()
if command -v ccache >/dev/null; then
  compiler_launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
  export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
fi
