# Sourced by scripts/test-sanitizers and scripts/fuzz: configures the sanitizer build folders.
#   configure_sanitizer_build address|thread   sets build_dir and configures it
# The address build uses clang 14 with AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer's
# coverage, so the same build runs every test and the archive fuzzer. The thread build uses the
# default compiler. Both keep line tables only (-g1): enough for reports, much quicker to build;
# both build the libraries as unity builds, which these cache-less CI builds profit from most.
# Neither builds the Python package: Debian's interpreter is not instrumented and cannot load it.
clang_version=14

configure_sanitizer_build() {
  local kind="$1" flags compilers=()
  case "$kind" in
    address)
      # The compiler and its sanitizer run-time libraries must be one version.
      "$root/scripts/setup-deps" "clang-$clang_version" "libclang-rt-$clang_version-dev"
      flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all"
      flags+=" -fno-omit-frame-pointer -O1 -g1"
      compilers=(-DCMAKE_CXX_COMPILER="clang++-$clang_version" -DTAMRIX_BUILD_FUZZERS=ON)
      ;;
    thread)
      "$root/scripts/setup-deps"
      flags="-fsanitize=thread -O1 -g1"
      ;;
  esac
  source "$root/scripts/lib/compiler-cache.sh"
  build_dir="$root/build-$kind"
  cmake -S "$root" -B "$build_dir" "${compilers[@]}" "${compiler_launcher[@]}" -DCMAKE_BUILD_TYPE= \
    -DTAMRIX_BUILD_TESTS=ON -DTAMRIX_BUILD_BENCHMARKS=OFF -DTAMRIX_BUILD_PYTHON=OFF \
    -DTAMRIX_UNITY_BUILD=ON \
    -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" \
    -DCMAKE_MODULE_LINKER_FLAGS="$flags" >/dev/null
}
