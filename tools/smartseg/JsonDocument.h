// Parsing JSON input files safely, and quoting pieces of them in messages.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

namespace Smartseg {

// Arrays and objects nested deeper than this are refused. A LabelMe file needs five levels (the
// document, "shapes", a shape, "points", a point); the bound keeps the parsed value shallow enough
// that copying, printing and destroying it can never exhaust the stack.
constexpr int kMaxJsonDepth = 64;

// Parses `text`, read from `file`. Throws WorkError naming `file` for invalid JSON, a number
// beyond the range of a double, and nesting deeper than kMaxJsonDepth; the message is one line
// and quotes at most a short excerpt of the input.
nlohmann::json ParseJsonDocument(const std::string& text, const std::filesystem::path& file);

// A compact JSON rendering of `value` in printable ASCII (other characters as \uXXXX escapes),
// cut to `maxCharacters` characters ("..." marks a cut): what a message may quote of an input
// value.
std::string JsonExcerpt(const nlohmann::json& value, std::size_t maxCharacters = 60);

}  // namespace Smartseg
