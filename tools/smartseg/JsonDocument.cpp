#include "tools/smartseg/JsonDocument.h"

#include "tools/smartseg/DisplayText.h"
#include "tools/smartseg/Errors.h"

namespace Smartseg {
namespace {

using Json = nlohmann::json;

// Thrown from the parser callback to stop at the first value that opens too deep.
struct TooDeep {};

// nlohmann's messages start with "[json.exception.<kind>.<id>] ", which says nothing to a user.
std::string WithoutExceptionId(const std::string& message) {
  if (message.rfind("[json.exception.", 0) != 0) return message;
  const auto end = message.find("] ");
  return end == std::string::npos ? message : message.substr(end + 2);
}

// Appends the rendering of `value` to `out` until `out` holds `limit` bytes. The depth is bounded
// by kMaxJsonDepth, as every value passed here comes from ParseJsonDocument or from code.
void Render(const Json& value, std::size_t limit, std::string& out) {
  if (out.size() >= limit) return;
  if (value.is_array() || value.is_object()) {
    const bool object = value.is_object();
    out += object ? '{' : '[';
    bool first = true;
    for (auto entry = value.begin(); entry != value.end() && out.size() < limit; ++entry) {
      if (!first) out += ", ";
      first = false;
      if (object) {
        Render(Json(entry.key().substr(0, limit)), limit, out);
        out += ": ";
      }
      Render(entry.value(), limit, out);
    }
    if (out.size() < limit) out += object ? '}' : ']';
    return;
  }
  if (value.is_string()) {
    // Cut before rendering, so that a long string is never copied whole; a cut inside a UTF-8
    // sequence is rendered as a replacement character. ASCII escapes keep every control and
    // non-ASCII character out of the message.
    const std::string& text = value.get_ref<const std::string&>();
    out += Json(text.substr(0, limit - out.size() + 1))
               .dump(-1, ' ', true, Json::error_handler_t::replace);
    return;
  }
  out += value.dump();
}

}  // namespace

nlohmann::json ParseJsonDocument(const std::string& text, const std::filesystem::path& file) {
  const Json::parser_callback_t limitDepth = [](int depth, Json::parse_event_t event, Json&) {
    if ((event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start) &&
        depth >= kMaxJsonDepth) {
      throw TooDeep{};
    }
    return true;
  };
  try {
    return Json::parse(text, limitDepth);
  } catch (const TooDeep&) {
    throw WorkError(file, "invalid JSON: arrays and objects are nested more than " +
                              std::to_string(kMaxJsonDepth) + " levels deep");
  } catch (const Json::out_of_range& error) {
    // The only range error of parsing: a number too large for a double, such as 1e400.
    throw WorkError(file, "invalid JSON: " + DisplayText(WithoutExceptionId(error.what()), 120) +
                              " (a number is too large)");
  } catch (const Json::exception& error) {
    throw WorkError(file, "invalid JSON: " + DisplayText(WithoutExceptionId(error.what()), 160));
  }
}

std::string JsonExcerpt(const nlohmann::json& value, std::size_t maxCharacters) {
  std::string rendering;
  Render(value, maxCharacters + 1, rendering);
  if (rendering.size() <= maxCharacters) return rendering;
  return rendering.substr(0, maxCharacters) + "...";
}

}  // namespace Smartseg
