#include "interfaces/core/Meta.h"

#include <utility>

namespace Tamrix::Vision::Meta {

MethodMeta::MethodMeta(const Tamrix::Vorn::IObject::ObjectCreateAccessToken&, rttr::method method)
    : method_(std::move(method)) {}

std::string MethodMeta::Name() const { return method_.get_name().to_string(); }
std::string MethodMeta::ToString() const { return "MethodMeta " + Name(); }

rttr::variant MethodMeta::Invoke(rttr::instance object,
                                 std::vector<rttr::argument> arguments) const {
  return method_.invoke_variadic(object, arguments);
}

FakePropertyMeta::FakePropertyMeta(const Tamrix::Vorn::IObject::ObjectCreateAccessToken&,
                                   std::shared_ptr<MethodMeta> getter,
                                   std::shared_ptr<MethodMeta> setter, rttr::variant argument,
                                   std::string name)
    : getter_(std::move(getter)),
      setter_(std::move(setter)),
      argument_(std::move(argument)),
      name_(std::move(name)) {}

std::string FakePropertyMeta::ToString() const { return "FakePropertyMeta " + name_; }

rttr::type FakePropertyMeta::ValueType() const {
  return getter_ ? getter_->Method().get_return_type() : rttr::type::get<void>();
}

rttr::variant FakePropertyMeta::GetValue(rttr::instance object) const {
  if (!getter_) return {};
  std::vector<rttr::argument> arguments;
  if (argument_.is_valid()) arguments.emplace_back(argument_);
  return getter_->Invoke(object, std::move(arguments));
}

namespace Implementation::Internal {

std::vector<std::shared_ptr<FakePropertyMeta>> GetFakePropertiesForNoArgMethods(
    const rttr::type& type) {
  std::vector<std::shared_ptr<FakePropertyMeta>> result;
  const Tamrix::Vorn::IObject::ObjectCreateAccessToken token;
  for (const rttr::method& method : type.get_methods()) {
    if (method.get_access_level() != rttr::access_levels::public_access) continue;
    if (method.get_parameter_infos().size() != 0) continue;
    if (method.get_return_type() == rttr::type::get<void>()) continue;
    auto getter = std::make_shared<MethodMeta>(token, method);
    result.push_back(std::make_shared<FakePropertyMeta>(
        token, std::move(getter), nullptr, rttr::variant(), method.get_name().to_string()));
  }
  return result;
}

}  // namespace Implementation::Internal
}  // namespace Tamrix::Vision::Meta
