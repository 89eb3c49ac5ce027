// Saving and loading framework objects through their common base, for hosts and tools.
#pragma once

#include <iosfwd>
#include <memory>

#include "interfaces/core/IObject.h"

namespace Tamrix::Vision::Archiving {

// Writes `object` into a new portable binary archive on `stream` as a polymorphic pointer record.
// Throws cereal::Exception when the object's type has no archive binding.
void SaveObject(std::ostream& stream, const std::shared_ptr<Tamrix::Vorn::IObject>& object);

// Reads one object written by SaveObject (or any archive holding one
// std::shared_ptr<Tamrix::Vorn::IObject> first). Throws cereal::Exception on corrupt or
// truncated data, VisionException on a refused class version.
std::shared_ptr<Tamrix::Vorn::IObject> LoadObject(std::istream& stream);

}  // namespace Tamrix::Vision::Archiving
