#include "interfaces/core/ObjectArchive.h"

#include <istream>
#include <ostream>

#include "interfaces/core/Cereal.h"

namespace Tamrix::Vision::Archiving {

void SaveObject(std::ostream& stream, const std::shared_ptr<Tamrix::Vorn::IObject>& object) {
  cereal::PortableBinaryOutputArchive archive(stream);
  archive(object);
}

std::shared_ptr<Tamrix::Vorn::IObject> LoadObject(std::istream& stream) {
  cereal::PortableBinaryInputArchive archive(stream);
  std::shared_ptr<Tamrix::Vorn::IObject> object;
  archive(object);
  return object;
}

}  // namespace Tamrix::Vision::Archiving
