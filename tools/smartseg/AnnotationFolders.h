// Annotation arguments that name folders, as LabelMe saves one JSON file beside each image.
#pragma once

#include <string>
#include <vector>

namespace Smartseg {

// `arguments` with every folder replaced by the "*.json" files in it (not in its subfolders),
// sorted by name; other arguments are kept as they are, in their order. The extension is matched
// without regard to case. Throws WorkError naming a folder that cannot be listed or holds no JSON
// file.
std::vector<std::string> ExpandAnnotationFolders(const std::vector<std::string>& arguments);

}  // namespace Smartseg
