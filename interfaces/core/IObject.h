// The root of the framework's object model.
#pragma once

#include <string>

#include <rttr/rttr_enable.h>
#include <rttr/type>

namespace Tamrix::Vorn {

// Every framework object derives (virtually) from IObject. Public constructors of framework
// objects take the pass-key ObjectCreateAccessToken so that they are only called by the
// framework's creation paths, normally inside std::make_shared.
class IObject {
 public:
  // Pass-key that limits construction to code able to name it.
  struct ObjectCreateAccessToken {
    explicit ObjectCreateAccessToken() = default;
  };

  virtual ~IObject() = default;
  virtual std::string ToString() const = 0;

  RTTR_ENABLE()
};

}  // namespace Tamrix::Vorn
