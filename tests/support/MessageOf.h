// The message of the exception a call throws, for tests that compare error texts.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace Tamrix::Testing {

// The message of the E that `action` throws, or "no exception"; other exceptions pass through.
template <class E = std::exception>
std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const E& e) {
    return e.what();
  }
  return "no exception";
}

}  // namespace Tamrix::Testing
