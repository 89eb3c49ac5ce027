#include "vision/SmartSegmenter/FormatString.h"

#include <cctype>

namespace Tamrix::Vision::SmartSegmenter::detail {

std::string FormatString(const std::string& pattern, const std::vector<std::string>& arguments) {
  std::string text = pattern;
  std::size_t position = text.find('%');
  while (position != std::string::npos) {
    std::size_t digitsEnd = position + 1;
    while (digitsEnd < text.size() && std::isdigit(static_cast<unsigned char>(text[digitsEnd]))) {
      ++digitsEnd;
    }
    const std::string digits = text.substr(position + 1, digitsEnd - position - 1);
    std::size_t next = digitsEnd;
    // More than nine digits cannot name an argument and would overflow the conversion.
    if (!digits.empty() && digits.size() <= 9) {
      const std::size_t number = std::stoul(digits);
      if (number >= 1 && number <= arguments.size()) {
        const std::string& argument = arguments[number - 1];
        text.replace(position, digitsEnd - position, argument);
        next = position + argument.size();
      }
    }
    position = text.find('%', next);
  }
  return text;
}

}  // namespace Tamrix::Vision::SmartSegmenter::detail
