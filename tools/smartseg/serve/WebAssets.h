// The browser host's front end (tools/smartseg/web), built into the program.
#pragma once

#include <cstddef>
#include <vector>

namespace Smartseg::Serve {

struct WebAsset {
  // The URL path, such as "/app.js".
  const char* path;
  const char* contentType;
  const unsigned char* data;
  std::size_t size;
};

const std::vector<WebAsset>& WebAssets();

}  // namespace Smartseg::Serve
