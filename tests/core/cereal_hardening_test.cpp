// The stricter loaders that replace cereal's own for the portable binary input archive: bounded
// growth for strings and vectors, strict bools, and typed shared-pointer back-references. This
// binary counts every allocation so that a corrupt count is seen not to be trusted.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "interfaces/core/Cereal.h"
#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/Image8Grey.h"
#include "tests/support/ArchiveBytes.h"

namespace {
std::atomic<std::size_t> largestAllocation{0};
}  // namespace

void* operator new(std::size_t size) {
  std::size_t seen = largestAllocation.load();
  while (size > seen && !largestAllocation.compare_exchange_weak(seen, size)) {
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// The replaced operator new allocates with malloc, so free is the matching release; the compiler
// cannot see that pairing across the replacement.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

using Tamrix::Testing::Bytes;
using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;

struct Apple {
  std::int32_t seeds = 7;
  template <class Archive>
  void serialize(Archive& archive) {
    archive(seeds);
  }
};
struct Pear {
  double weight = 0.5;
  std::string name = "pear";
  template <class Archive>
  void serialize(Archive& archive) {
    archive(weight, name);
  }
};

template <typename... T>
void Load(const std::string& bytes, T&... values) {
  std::istringstream in(bytes);
  cereal::PortableBinaryInputArchive archive(in);
  archive(values...);
}

std::string ErrorOf(const std::function<void()>& load) {
  try {
    load();
  } catch (const cereal::Exception& e) {
    return e.what();
  }
  return "no error";
}

// A count far beyond the bytes that follow: the load fails on the missing bytes and never asks
// for more than a growth step of memory.
struct HugeCountCase {
  const char* name;
  std::function<void(const std::string&)> load;
};

class HugeCount : public ::testing::TestWithParam<HugeCountCase> {};

TEST_P(HugeCount, FailsOnTheMissingBytesWithoutTrustingTheCount) {
  const std::string bytes = Bytes().U8(1).U64(0x7fffffffffffffffull).U32(0).str();
  largestAllocation = 0;
  const std::string error = ErrorOf([&] { GetParam().load(bytes); });
  EXPECT_EQ(error.rfind("Failed to read ", 0), 0u) << error;
  EXPECT_LE(largestAllocation.load(), 256u * 1024u) << "the stored count was trusted";
}

INSTANTIATE_TEST_SUITE_P(
    Containers, HugeCount,
    ::testing::Values(HugeCountCase{"String",
                                    [](const std::string& b) {
                                      std::string s;
                                      Load(b, s);
                                    }},
                      HugeCountCase{"Bytes",
                                    [](const std::string& b) {
                                      std::vector<std::uint8_t> v;
                                      Load(b, v);
                                    }},
                      HugeCountCase{"Doubles",
                                    [](const std::string& b) {
                                      std::vector<double> v;
                                      Load(b, v);
                                    }},
                      HugeCountCase{"Bools",
                                    [](const std::string& b) {
                                      std::vector<bool> v;
                                      Load(b, v);
                                    }},
                      HugeCountCase{"Records",
                                    [](const std::string& b) {
                                      std::vector<Pear> v;
                                      Load(b, v);
                                    }},
                      HugeCountCase{"Pointers",
                                    [](const std::string& b) {
                                      std::vector<std::shared_ptr<Tamrix::Vorn::IObject>> v;
                                      Load(b, v);
                                    }}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(CerealHardening, ContainersKeepCerealsLayoutInBothByteOrders) {
  const std::vector<std::int32_t> numbers(70000, -2);  // more than one growth step
  const std::vector<bool> flags{true, false, true};
  const std::string text(100000, 'x');
  for (const auto order : {cereal::PortableBinaryOutputArchive::Options::LittleEndian(),
                           cereal::PortableBinaryOutputArchive::Options::BigEndian()}) {
    std::ostringstream out;
    {
      cereal::PortableBinaryOutputArchive archive(out, order);
      archive(numbers, flags, text);
    }
    // Count, then the values, with no padding: 1 + (8 + 4n) + (8 + 3) + (8 + 100000).
    EXPECT_EQ(out.str().size(), 1u + 8 + 4 * 70000 + 11 + 8 + 100000);
    std::vector<std::int32_t> numbersBack;
    std::vector<bool> flagsBack;
    std::string textBack;
    Load(out.str(), numbersBack, flagsBack, textBack);
    EXPECT_EQ(numbersBack, numbers);
    EXPECT_EQ(flagsBack, flags);
    EXPECT_EQ(textBack, text);
  }
}

TEST(CerealHardening, BoolBytesOtherThanZeroAndOneAreRefused) {
  bool value = false;
  Load(Bytes().U8(1).U8(1).str(), value);
  EXPECT_TRUE(value);
  EXPECT_EQ(ErrorOf([] {
              bool b;
              Load(Bytes().U8(1).U8(2).str(), b);
            }),
            "Invalid bool value 2 in archive: expected 0 or 1");
  EXPECT_EQ(ErrorOf([] {
              std::vector<bool> v;
              Load(Bytes().U8(1).U64(2).U8(0).U8(0xff).str(), v);
            }),
            "Invalid bool value 255 in archive: expected 0 or 1");
}

TEST(CerealHardening, BackReferenceToTheSameTypeSharesTheObject) {
  std::ostringstream out;
  {
    cereal::PortableBinaryOutputArchive archive(out);
    auto apple = std::make_shared<Apple>();
    archive(apple, apple);
  }
  std::shared_ptr<Apple> first, second;
  Load(out.str(), first, second);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->seeds, 7);
}

TEST(CerealHardening, BackReferenceReadAsAnotherTypeIsRefused) {
  // Object 1 is an Apple; the second pointer refers back to it but is read as a Pear.
  const std::string bytes = Bytes().U8(1).U32(0x80000001).U32(7).U32(1).str();
  const std::string error = ErrorOf([&] {
    std::shared_ptr<Apple> apple;
    std::shared_ptr<Pear> pear;
    Load(bytes, apple, pear);
  });
  EXPECT_NE(error.find("Shared pointer id 1 refers to an object of type"), std::string::npos)
      << error;
  EXPECT_NE(error.find("Apple"), std::string::npos) << error;
  EXPECT_NE(error.find("read as"), std::string::npos) << error;
}

TEST(CerealHardening, PolymorphicBackReferenceToAnotherRegisteredTypeIsRefused) {
  // Object 1 is a ChangedEventShareableBase; the second record names Image8Grey and refers back
  // to object 1, which cereal alone would reinterpret as an image.
  const std::string bytes = Bytes()
                                .U8(1)
                                .U32(0x80000001)
                                .Text("Tamrix::Vision::ChangedEventShareableBase")
                                .U32(0x80000001)
                                .U32(1)
                                .U32(1)
                                .U32(0x80000002)
                                .Text("Tamrix::Vision::Image8Grey")
                                .U32(1)
                                .str();
  std::shared_ptr<Tamrix::Vorn::IObject> first, second;
  const std::string error = ErrorOf([&] { Load(bytes, first, second); });
  EXPECT_NE(error.find("refers to an object of type Tamrix::Vision::ChangedEventShareableBase, "
                       "read as Tamrix::Vision::Image8Grey"),
            std::string::npos)
      << error;
}

TEST(CerealHardening, ReservedObjectIdsAreRefused) {
  for (const std::uint32_t id : {0x40000001u, 0xc0000001u}) {
    std::shared_ptr<Apple> apple;
    EXPECT_EQ(ErrorOf([&] { Load(Bytes().U8(1).U32(id).U32(7).str(), apple); }),
              "Invalid shared pointer id 1073741825 in archive");
  }
}

TEST(CerealHardening, UnknownBackReferenceFailsWithCerealsError) {
  std::shared_ptr<Apple> apple;
  const std::string error = ErrorOf([&] { Load(Bytes().U8(1).U32(3).str(), apple); });
  EXPECT_NE(error.find("Could not find id 3"), std::string::npos) << error;
}

}  // namespace
