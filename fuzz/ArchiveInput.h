// What the archive fuzzer does with one input; shared by the fuzzer and the regression test that
// replays the inputs which once found a bug.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Tamrix::Fuzzing {

// Points the module lookup at `moduleDirectory` (where the engine helper module is built) and
// makes engine runs sequential, so that one input is one deterministic run.
void PrepareArchiveInputs(const std::string& moduleDirectory);

// Loads `data` as an archive holding one std::shared_ptr<Tamrix::Vorn::IObject>. When that loads,
// an operator executes on a small image, and whatever loaded is saved again. Errors reported as
// std::exception are the expected outcome of bad input; anything else escapes.
void RunArchiveInput(const std::uint8_t* data, std::size_t size);

}  // namespace Tamrix::Fuzzing
