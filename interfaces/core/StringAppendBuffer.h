// A stream buffer that appends what is written to a string its caller owns, so that the string can
// be given room beforehand or reused: a std::ostringstream grows a string of its own, copying it
// at every doubling, and copies it once more when it is taken.
#pragma once

#include <streambuf>
#include <string>

namespace Tamrix::Vision::Archiving {

class StringAppendBuffer : public std::streambuf {
 public:
  explicit StringAppendBuffer(std::string& out) : out_(out) {}

 protected:
  std::streamsize xsputn(const char* data, std::streamsize count) override {
    out_.append(data, static_cast<std::size_t>(count));
    return count;
  }
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      out_.push_back(traits_type::to_char_type(c));
    }
    return traits_type::not_eof(c);
  }

 private:
  std::string& out_;
};

}  // namespace Tamrix::Vision::Archiving
