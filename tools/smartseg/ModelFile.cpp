#include "tools/smartseg/ModelFile.h"

#include <cstring>
#include <future>
#include <istream>
#include <ostream>
#include <streambuf>
#include <system_error>

#include <rttr/type>

#include "interfaces/core/Cereal.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/ObjectArchive.h"
#include "interfaces/core/StringAppendBuffer.h"
#include "tools/smartseg/AtomicFile.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/FileSet.h"
#include "vision/SmartSegmenter/ModelDescriptions.h"

namespace Smartseg {
namespace {

constexpr char kMagic[8] = {'S', 'M', 'A', 'R', 'T', 'S', 'E', 'G'};
constexpr std::size_t kHeaderSize = sizeof(kMagic) + 4;
constexpr const char* kOperatorType = "Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator";

rttr::type OperatorType() {
  const rttr::type type = rttr::type::get_by_name(kOperatorType);
  if (!type.is_valid()) {
    throw std::runtime_error(std::string("the operator type ") + kOperatorType +
                             " is not registered");
  }
  return type;
}

// Reads bytes where they are: the model's bytes would otherwise be copied twice more (a substring
// and the string stream's own copy), megabytes each for a trained model.
class BytesBuffer : public std::streambuf {
 public:
  BytesBuffer(const char* begin, std::size_t size) {
    char* first = const_cast<char*>(begin);  // only ever read
    setg(first, first, first + size);
  }
};

// Room reserved for a model's bytes: untouched pages of it cost nothing, and most models fit.
constexpr std::size_t kModelRoom = std::size_t{16} << 20;

}  // namespace

std::shared_ptr<Operator> CreateOperator() {
  rttr::variant created = OperatorType().create();
  if (!created.is_type<std::shared_ptr<Operator>>()) {
    throw std::runtime_error(std::string("the reflection registry could not create ") +
                             kOperatorType);
  }
  return created.get_value<std::shared_ptr<Operator>>();
}

std::shared_ptr<Operator> LoadModel(const std::filesystem::path& path) {
  return LoadModelBytes(ReadWholeFile(path), path);
}

std::shared_ptr<Operator> LoadModelBytes(const std::string& bytes,
                                         const std::filesystem::path& path) {
  if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), kMagic, sizeof(kMagic)) != 0) {
    throw WorkError(path, "not a smartseg model (the file does not start with \"SMARTSEG\")");
  }
  std::uint32_t version = 0;
  for (int i = 3; i >= 0; --i) {
    version = (version << 8) | static_cast<unsigned char>(bytes[sizeof(kMagic) + i]);
  }
  if (version > kModelFormatVersion) {
    throw WorkError(path, "the model was written by a newer version of smartseg (model format " +
                              std::to_string(version) + "; this program reads format " +
                              std::to_string(kModelFormatVersion) + " and older)");
  }
  if (version == 0) throw WorkError(path, "not a smartseg model (format version 0)");

  BytesBuffer buffer(bytes.data() + kHeaderSize, bytes.size() - kHeaderSize);
  std::istream stream(&buffer);
  std::shared_ptr<Tamrix::Vorn::IObject> object;
  try {
    object = Tamrix::Vision::Archiving::LoadObject(stream);
  } catch (const Tamrix::Vision::VisionException& error) {
    if (error.Code() == Tamrix::Vision::VisionExceptionCodes::VersionMismatch) {
      throw WorkError(path, std::string("the model was written by a newer version of the "
                                        "segmentation library: ") +
                                error.what());
    }
    throw WorkError(path, std::string("the model is damaged: ") + error.what());
  } catch (const cereal::Exception& error) {
    throw WorkError(path, std::string("the model is damaged or truncated: ") + error.what());
  } catch (const std::exception& error) {
    throw WorkError(path, std::string("the model cannot be loaded: ") + error.what());
  }
  auto model = std::dynamic_pointer_cast<Operator>(object);
  if (!model) throw WorkError(path, "the file holds an object that is not a segmentation model");
  if (stream.peek() != std::char_traits<char>::eof()) {
    throw WorkError(path, "the model is damaged: unexpected data after its end");
  }
  return model;
}

void SaveModel(const std::filesystem::path& path, const std::shared_ptr<Operator>& model) {
  std::string bytes;
  bytes.reserve(kModelRoom);
  Tamrix::Vision::Archiving::StringAppendBuffer writer(bytes);
  std::ostream stream(&writer);
  stream.write(kMagic, sizeof(kMagic));
  for (int i = 0; i < 4; ++i)
    stream.put(static_cast<char>((kModelFormatVersion >> (8 * i)) & 0xff));
  try {
    Tamrix::Vision::Archiving::SaveObject(stream, model);
  } catch (const std::exception& error) {
    throw WorkError(path, std::string("cannot archive the model: ") + error.what());
  }
  if (!stream) throw WorkError(path, "cannot archive the model: the archive stream failed");
  // Loading checks more than saving does (finite numbers, consistent trees); a model that every
  // later command would refuse must not replace one that works. The file is written and synced
  // under a hidden name meanwhile, on a thread of its own, and takes the model's name only once
  // the check has passed. `writing` ends before `file` could roll back.
  FileSet file;
  const auto write = [&file, &path, &bytes] { file.Stage(path, bytes); };
  std::future<void> writing;
  try {
    writing = std::async(std::launch::async, write);
  } catch (const std::system_error&) {
    writing = std::async(std::launch::deferred, write);
  }
  try {
    LoadModelBytes(bytes, path);
  } catch (const WorkError& error) {
    writing.wait();
    throw WorkError(path.string() +
                    ": the trained model would not load back, so the file was "
                    "left as it was (" +
                    error.what() + ")");
  }
  writing.get();
  file.Commit();
}

std::vector<std::string> DescribeModels(const std::shared_ptr<Operator>& model) {
  return Tamrix::Vision::SmartSegmenter::DescribeModels(*model);
}

}  // namespace Smartseg
