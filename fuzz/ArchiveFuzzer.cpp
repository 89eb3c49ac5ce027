// libFuzzer entry: arbitrary bytes loaded as an archive (see ArchiveInput.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/ArchiveInput.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Tamrix::Fuzzing::PrepareArchiveInputs(TAMRIX_MODULE_DIR);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Tamrix::Fuzzing::RunArchiveInput(data, size);
  return 0;
}
