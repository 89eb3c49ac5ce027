// Model files: a short header (the 8 bytes "SMARTSEG", a little-endian 32-bit format version)
// followed by the operator's portable binary archive.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace Smartseg {

using Operator = Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator;

constexpr std::uint32_t kModelFormatVersion = 1;

// A new, empty operator, made through the reflection registry as any generic host makes it.
std::shared_ptr<Operator> CreateOperator();

// Loads the operator of a model file. Throws WorkError naming `path` for a missing or unreadable
// file, a file that is no model, one from a newer version, and damaged or truncated data.
std::shared_ptr<Operator> LoadModel(const std::filesystem::path& path);

// LoadModel for the bytes of a model file; `path` names it in messages.
std::shared_ptr<Operator> LoadModelBytes(const std::string& bytes,
                                         const std::filesystem::path& path);

// Writes the operator to `path` all-or-nothing, after checking that what is written loads back.
// Keeps the mode and owner of the file replaced and writes through a symbolic link. Throws
// WorkError naming `path`, leaving the file as it was.
void SaveModel(const std::filesystem::path& path, const std::shared_ptr<Operator>& model);

// One line per label model: "<label>: <what the engine learned>".
std::vector<std::string> DescribeModels(const std::shared_ptr<Operator>& model);

}  // namespace Smartseg
