// How a request of the browser host fails: an HTTP status and a one-line message, sent to the
// client as {"error": message, "status": status}.
#pragma once

#include <stdexcept>
#include <string>

namespace Smartseg::Serve {

class ApiError : public std::runtime_error {
 public:
  ApiError(int status, const std::string& message) : std::runtime_error(message), status_(status) {}
  int Status() const { return status_; }

 private:
  int status_;
};

}  // namespace Smartseg::Serve
