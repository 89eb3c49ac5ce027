// What the main() of smartseg and of its browser host smartseg-serve share.
#pragma once

#include <functional>
#include <string>

namespace Smartseg {

// Prints "smartseg: error: MESSAGE" as one line of plain text (control characters and terminal
// escapes in quoted names made visible) and returns `code`.
int ReportError(const std::string& message, int code);

// Sets the allocator up for image-sized buffers and the signal cleanup (before any thread
// starts), then runs `run`: its result is the exit code, and an exception becomes one error line
// with exit code 2 for bad usage and 1 for anything else.
int RunProgram(const std::function<int()>& run);

// Ends the program with `status` (what RunProgram returned) once its output is flushed, without
// running the static destructors; sanitizer builds exit normally, so that their checks at exit
// run.
[[noreturn]] void EndProgram(int status);

}  // namespace Smartseg
