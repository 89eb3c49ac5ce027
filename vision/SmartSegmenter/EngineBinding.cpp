// Binding the engine helper module.
#include <string>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Settings.h"
#include "vision/SmartSegmenter/OperatorBinding.h"

namespace Tamrix::Vision::SmartSegmenter {
namespace {

const wchar_t* const kHelperLibraryName = L"Tamrix.Vision.SmartSegmenterHelper.dll";
const char* const kFactorySymbol = "CreateSegmenterAccessWrapper";

}  // namespace

std::shared_ptr<SmartSegmenterOperator::impl> SmartSegmenterOperator::EnsureOstrelLibrary() {
  std::lock_guard<std::mutex> guard(lock_);
  if (!impl_) {
    // Built completely before it is stored, so a failure leaves the operator unbound and the
    // next call starts again. A module loaded before a later step failed stays loaded.
    auto binding = std::make_shared<impl>();
    if (sysLoadLibrary(kHelperLibraryName, &binding->library) < 0) {
      throw VisionException(VisionExceptionCodes::LibraryNotLoaded, "Cannot load library");
    }
    SysProc factory = nullptr;
    if (sysGetProcAddress(binding->library, kFactorySymbol, &factory) < 0) {
      throw VisionException(
          VisionExceptionCodes::FunctionNotFound,
          "Can not load the following function from the " +
              UtilityZel::detail::ZelUtils::StringFromZelString(kHelperLibraryName) +
              " library: CreateSegmenterAccessWrapper");
    }
    binding->factory = reinterpret_cast<CreateSegmenterAccessWrapperFunction>(factory);
    binding->factory(&binding->access);
    // Every segmenter of this binding is made through the access object; a factory that hands
    // out none leaves nothing to make them with.
    if (!binding->access) {
      throw VisionException(
          VisionExceptionCodes::LibraryNotLoaded,
          "The factory CreateSegmenterAccessWrapper of " +
              UtilityZel::detail::ZelUtils::StringFromZelString(kHelperLibraryName) +
              " returned no segmenter access object");
    }
    impl_ = std::move(binding);
  }
  return impl_;
}

}  // namespace Tamrix::Vision::SmartSegmenter
