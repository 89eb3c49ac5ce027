// Reflection helpers for generic hosts: member descriptions and pseudo-properties.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <rttr/type>

#include "interfaces/core/IObject.h"

namespace Tamrix::Vision::Meta {

// Describes one reflected member of a type.
class IMemberMeta : public virtual Tamrix::Vorn::IObject {
 public:
  virtual std::string Name() const = 0;
  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

// Describes a member that a host shows as a property.
class IPropertyMeta : public virtual IMemberMeta, public virtual Tamrix::Vorn::IObject {
 public:
  virtual rttr::type ValueType() const = 0;
  virtual bool IsReadOnly() const = 0;
  RTTR_ENABLE(IMemberMeta, Tamrix::Vorn::IObject)
};

// A reflected method, called on an instance with the given arguments.
class MethodMeta : public virtual IMemberMeta {
 public:
  MethodMeta(const Tamrix::Vorn::IObject::ObjectCreateAccessToken&, rttr::method method);
  std::string Name() const override;
  std::string ToString() const override;
  const rttr::method& Method() const { return method_; }
  rttr::variant Invoke(rttr::instance object, std::vector<rttr::argument> arguments) const;

 private:
  rttr::method method_;
  RTTR_ENABLE(IMemberMeta)
};

// A pseudo-property: a value that a host reads by calling a method (its getter), optionally with
// a fixed argument, such as the item of a collection at one index.
class FakePropertyMeta : public virtual IPropertyMeta {
 public:
  FakePropertyMeta(const Tamrix::Vorn::IObject::ObjectCreateAccessToken&,
                   std::shared_ptr<MethodMeta> getter, std::shared_ptr<MethodMeta> setter,
                   rttr::variant argument, std::string name);

  std::string Name() const override { return name_; }
  std::string ToString() const override;
  rttr::type ValueType() const override;
  bool IsReadOnly() const override { return setter_ == nullptr; }

  const std::shared_ptr<MethodMeta>& Getter() const { return getter_; }
  const std::shared_ptr<MethodMeta>& Setter() const { return setter_; }
  const rttr::variant& Argument() const { return argument_; }
  // Calls the getter on `object`, with the argument when there is one.
  rttr::variant GetValue(rttr::instance object) const;

 private:
  std::shared_ptr<MethodMeta> getter_;
  std::shared_ptr<MethodMeta> setter_;
  rttr::variant argument_;
  std::string name_;
  RTTR_ENABLE(IPropertyMeta)
};

// An object that offers pseudo-properties beyond its reflected properties.
class IHaveFakePropertyMeta : public virtual Tamrix::Vorn::IObject {
 public:
  virtual std::vector<std::shared_ptr<FakePropertyMeta>> GetFakeProperties() const = 0;
  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

namespace Implementation::Internal {
// One pseudo-property, named after the method, for each public parameterless method of `type`
// that returns a value, in the registry's order of the methods.
std::vector<std::shared_ptr<FakePropertyMeta>> GetFakePropertiesForNoArgMethods(
    const rttr::type& type);
}  // namespace Implementation::Internal

}  // namespace Tamrix::Vision::Meta
