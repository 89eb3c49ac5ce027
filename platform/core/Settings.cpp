#include "interfaces/core/Settings.h"

#include <atomic>
#include <thread>

#include "interfaces/core/CollectionDetail.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/sys/Utf8.h"

namespace Tamrix::Vision {
namespace {

int DefaultThreadCount() {
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware == 0 ? 1 : static_cast<int>(hardware);
}

std::atomic<bool> enableThreads{true};
std::atomic<int> threadCount{DefaultThreadCount()};

}  // namespace

bool VisionToolMultiThreading::Enable() { return enableThreads.load(); }
int VisionToolMultiThreading::ThreadCount() { return threadCount.load(); }
int VisionToolMultiThreading::Workers() { return enableThreads.load() ? threadCount.load() : 1; }
void VisionToolMultiThreading::setEnable(bool enable) { enableThreads.store(enable); }
void VisionToolMultiThreading::setThreadCount(int count) {
  threadCount.store(count < 1 ? 1 : count);
}
void VisionToolMultiThreading::Reset() {
  enableThreads.store(true);
  threadCount.store(DefaultThreadCount());
}

void CheckSerializationVersionMismatch(unsigned stored, unsigned current, const std::string& name) {
  if (stored <= current) return;
  throw VisionException(VisionExceptionCodes::VersionMismatch,
                        name + ": stored class version " + std::to_string(stored) +
                            " is newer than the supported version " + std::to_string(current));
}

namespace Strings {
const char* const IDS_Tamrix_InvalidArgGE_2 =
    "Argument %1 is invalid: it must be greater than or equal to %2.";
}  // namespace Strings

namespace Implementation::detail {

void CheckIndex(const char* operation, long long index, long long count, bool inclusiveEnd) {
  const long long end = inclusiveEnd ? count + 1 : count;
  if (index >= 0 && index < end) return;
  throw ArgumentException(std::string(operation) + ": index " + std::to_string(index) +
                          " is outside [0, " + std::to_string(count) + (inclusiveEnd ? "]" : ")"));
}

}  // namespace Implementation::detail
}  // namespace Tamrix::Vision

namespace UtilityZel::detail {

std::string ZelUtils::StringFromZelString(const std::wstring& text) {
  return sysUtf8FromWide(text);
}

std::wstring ZelUtils::ZelStringFromString(const std::string& text) {
  std::wstring out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int extra = -1;
    std::uint32_t code = 0;
    if (lead < 0x80) {
      extra = 0, code = lead;
    } else if ((lead >> 5) == 0x6) {
      extra = 1, code = lead & 0x1F;
    } else if ((lead >> 4) == 0xE) {
      extra = 2, code = lead & 0x0F;
    } else if ((lead >> 3) == 0x1E) {
      extra = 3, code = lead & 0x07;
    }
    bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
    for (int k = 1; valid && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    if (!valid) {
      out += static_cast<wchar_t>(0xFFFD);
      ++i;
      continue;
    }
    out += static_cast<wchar_t>(code);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

}  // namespace UtilityZel::detail
