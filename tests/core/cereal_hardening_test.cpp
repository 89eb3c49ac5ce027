// Archive loading: the stricter loaders that replace cereal's own for the portable binary input
// archive, the bounded loaders of ArchiveLimits.h (bounded growth for strings and vectors, strict
// bools, typed shared-pointer back-references) and object records through IObject. This binary
// records the largest allocation so that a corrupt count is seen not to be trusted.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "interfaces/core/ArchiveLimits.h"
#include "interfaces/core/Cereal.h"
#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/ObjectArchive.h"
#include "tests/core/TestSupport.h"
#include "tests/support/ArchiveBytes.h"
#include "tests/support/ArchiveRoundTrip.h"
#include "tests/support/LargestAllocation.h"

namespace {

namespace Archiving = Tamrix::Vision::Archiving;
using Tamrix::Testing::CoreTests::MessageOf;
using Input = cereal::PortableBinaryInputArchive;
using Object = std::shared_ptr<Tamrix::Vorn::IObject>;
using Tamrix::Testing::Bytes;
using Tamrix::Testing::LoadArchive;
using Tamrix::Testing::SaveArchive;
using Tamrix::Testing::SaveArchiveWith;

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

template <class F>
void With(const std::string& bytes, F read) {
  std::istringstream in(bytes);
  Input archive(in);
  read(archive);
}
template <class T>
void Read(Input& archive) {
  T value;
  archive(value);
}

// A count far beyond the bytes that follow: the load fails on the missing bytes and never asks
// for more than a growth step of memory. Counts whose byte size overflows 64 bits are among them.
TEST(CerealHardening, HugeCountsFailOnTheMissingBytesWithoutTrustingTheCount) {
  const std::vector<std::pair<const char*, void (*)(Input&)>> loaders = {
      {"string", Read<std::string>},
      {"bytes", Read<std::vector<std::uint8_t>>},
      {"doubles", Read<std::vector<double>>},
      {"bools", Read<std::vector<bool>>},
      {"records", Read<std::vector<Pear>>},
      {"pointers", Read<std::vector<Object>>},
      {"LoadString",
       [](Input& a) {
         std::string s;
         Archiving::LoadString(a, s);
       }},
      {"LoadArithmeticVector",
       [](Input& a) {
         std::vector<double> v;
         Archiving::LoadArithmeticVector(a, v);
       }},
      {"LoadVector",
       [](Input& a) {
         std::vector<Object> v;
         Archiving::LoadVector(a, v);
       }},
  };
  for (const std::uint64_t count : {1ull << 61, 1ull << 62, 0x7fffffffffffffffull, ~0ull}) {
    for (const auto& [name, load] : loaders) {
      SCOPED_TRACE(std::string(name) + " " + std::to_string(count));
      Tamrix::Testing::StartWatchingAllocations();
      const std::string error = MessageOf<cereal::Exception>(
          [&, &load = load] { With(Bytes().U8(1).U64(count).U32(0).str(), load); });
      const std::size_t largest = Tamrix::Testing::StopWatchingAllocations();
      EXPECT_EQ(error.rfind("Failed to read ", 0), 0u) << error;
      EXPECT_LE(largest, 256u * 1024u) << "the stored count was trusted";
    }
  }
}

TEST(CerealHardening, ContainersKeepCerealsLayoutInBothByteOrders) {
  const std::vector<std::int32_t> numbers(70000, -2);  // more than one growth step
  const std::vector<bool> flags{true, false, true};
  const std::string text(100000, 'x');
  for (const auto order : {cereal::PortableBinaryOutputArchive::Options::LittleEndian(),
                           cereal::PortableBinaryOutputArchive::Options::BigEndian()}) {
    const std::string bytes = SaveArchiveWith(order, numbers, flags, text);
    // Count, then the values, with no padding: 1 + (8 + 4n) + (8 + 3) + (8 + 100000).
    EXPECT_EQ(bytes.size(), 1u + 8 + 4 * 70000 + 11 + 8 + 100000);
    std::vector<std::int32_t> numbersBack;
    std::vector<bool> flagsBack;
    std::string textBack;
    LoadArchive(bytes, numbersBack, flagsBack, textBack);
    EXPECT_EQ(numbersBack, numbers);
    EXPECT_EQ(flagsBack, flags);
    EXPECT_EQ(textBack, text);
  }
}

TEST(ArchiveLimits, SavesInCerealsLayoutAndLoadsEitherByteOrder) {
  std::ostringstream out;
  {
    cereal::PortableBinaryOutputArchive archive(out);
    Archiving::SaveString(archive, "a");
    Archiving::SaveString(archive, "");
    Archiving::SaveArithmeticVector(archive, std::vector<double>{1.0});
  }
  EXPECT_EQ(out.str(), Bytes().U8(1).Text("a").Text("").U64(1).U64(0x3FF0000000000000ull).str());
  // Byte-order flag 0: written big-endian; a count of 2, then 1.0 and -2.0.
  const std::string bigEndian(
      "\0"
      "\0\0\0\0\0\0\0\2"
      "\x3F\xF0\0\0\0\0\0\0"
      "\xC0\0\0\0\0\0\0\0",
      25);
  std::vector<double> values;
  With(bigEndian, [&](Input& a) { Archiving::LoadArithmeticVector(a, values); });
  EXPECT_EQ(values, (std::vector<double>{1.0, -2.0}));
}

TEST(CerealHardening, BoolBytesOtherThanZeroAndOneAreRefused) {
  for (const int byte : {0, 1, 2, 255}) {
    SCOPED_TRACE(byte);
    const auto b = static_cast<std::uint8_t>(byte);
    const std::string error =
        byte <= 1 ? "no exception"
                  : "Invalid bool value " + std::to_string(byte) + " in archive: expected 0 or 1";
    bool single = byte == 0, limited = byte == 0;
    std::vector<bool> several;
    EXPECT_EQ(MessageOf<cereal::Exception>([&] { LoadArchive(Bytes().U8(1).U8(b).str(), single); }),
              error);
    EXPECT_EQ(MessageOf<cereal::Exception>(
                  [&] { LoadArchive(Bytes().U8(1).U64(2).U8(0).U8(b).str(), several); }),
              error);
    EXPECT_EQ(MessageOf<cereal::Exception>([&] {
                With(Bytes().U8(1).U8(b).str(), [&](Input& a) { Archiving::LoadBool(a, limited); });
              }),
              error);
    if (byte > 1) continue;
    EXPECT_EQ(single, byte == 1);
    EXPECT_EQ(limited, byte == 1);
    EXPECT_EQ(several, (std::vector<bool>{false, byte == 1}));
  }
}

TEST(CerealHardening, BackReferenceToTheSameTypeSharesTheObject) {
  const auto apple = std::make_shared<Apple>();
  std::shared_ptr<Apple> first, second;
  LoadArchive(SaveArchive(apple, apple), first, second);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->seeds, 7);
}

TEST(CerealHardening, BackReferencesToAnotherTypeReservedOrUnknownIdsAreRefused) {
  std::shared_ptr<Apple> apple;
  std::shared_ptr<Pear> pear;
  // Object 1 is an Apple; the second pointer refers back to it but is read as a Pear.
  std::string error = MessageOf<cereal::Exception>(
      [&] { LoadArchive(Bytes().U8(1).U32(0x80000001).U32(7).U32(1).str(), apple, pear); });
  EXPECT_NE(error.find("Shared pointer id 1 refers to an object of type"), std::string::npos)
      << error;
  EXPECT_NE(error.find("Apple, read as"), std::string::npos) << error;
  EXPECT_NE(error.find("Pear"), std::string::npos) << error;
  // Object 1 is a ChangedEventShareableBase; the second record names Image8Grey (the C++ type
  // GreyImage<unsigned char>) and refers back to object 1, which cereal alone would reinterpret
  // as an image.
  Bytes polymorphic;
  polymorphic.U8(1).U32(0x80000001).Text("Tamrix::Vision::ChangedEventShareableBase");
  polymorphic.U32(0x80000001).U32(1).U32(1);
  polymorphic.U32(0x80000002).Text("Tamrix::Vision::Image8Grey").U32(1);
  Object first, second;
  error = MessageOf<cereal::Exception>([&] { LoadArchive(polymorphic.str(), first, second); });
  EXPECT_NE(error.find("refers to an object of type Tamrix::Vision::ChangedEventShareableBase, "
                       "read as Tamrix::Vision::GreyImage<unsigned char>"),
            std::string::npos)
      << error;
  for (const std::uint32_t id : {0x40000001u, 0xc0000001u}) {
    EXPECT_EQ(MessageOf<cereal::Exception>(
                  [&] { LoadArchive(Bytes().U8(1).U32(id).U32(7).str(), apple); }),
              "Invalid shared pointer id 1073741825 in archive");
  }
  error = MessageOf<cereal::Exception>([&] { LoadArchive(Bytes().U8(1).U32(3).str(), apple); });
  EXPECT_NE(error.find("Could not find id 3"), std::string::npos) << error;
}

// The record of a ChangedEventShareableBase saved through IObject, with its class version.
std::string BaseRecord(std::uint32_t version) {
  return Bytes()
      .U8(1)  // little-endian byte-order flag
      .U32(0x80000001)
      .Text("Tamrix::Vision::ChangedEventShareableBase")
      .U32(0x80000001)  // first object
      .U32(version)     // ChangedEventShareableBase version
      .U32(1)           // ShareableBase base part version
      .str();
}

using Tamrix::Testing::LoadObject;

TEST(ObjectArchive, RecordLayoutAndRoundTripThroughIObjectKeepingTheDynamicType) {
  std::shared_ptr<Tamrix::Vorn::IObject> object =
      std::make_shared<Tamrix::Vision::ChangedEventShareableBase>(
          Tamrix::Testing::CoreTests::Token{});
  EXPECT_EQ(Tamrix::Testing::SaveObject(object), BaseRecord(1));
  auto typed = LoadObject<Tamrix::Vision::ChangedEventShareableBase>(BaseRecord(1));
  ASSERT_NE(typed, nullptr);
  EXPECT_NE(typed.get(), object.get());
  EXPECT_EQ(typed->shared_from_this().get(),
            static_cast<Tamrix::Vision::ShareableBase*>(typed.get()));
  // A null pointer is the single word zero.
  EXPECT_EQ(Tamrix::Testing::SaveObject(nullptr), Bytes().U8(1).U32(0).str());
  EXPECT_EQ(LoadObject(Bytes().U8(1).U32(0).str()), nullptr);
}

TEST(ObjectArchive, NewerVersionsUnknownIdsAndTruncatedStreamsAreRefused) {
  Tamrix::Testing::CoreTests::ExpectVisionError(
      [] { LoadObject(BaseRecord(9)); }, Tamrix::Vision::VisionExceptionCodes::VersionMismatch,
      "ChangedEventShareableBase::serialize(): stored class version 9 is newer than the supported "
      "version 1");
  EXPECT_THROW(
      LoadObject(Bytes().U8(1).U32(0x80000001).Text("No::Such::Type").U32(0x80000001).str()),
      cereal::Exception);
  const std::string full = BaseRecord(1);
  for (std::size_t cut = 1; cut < full.size(); ++cut) {
    const std::string error = Tamrix::Testing::CoreTests::MessageOf<cereal::Exception>(
        [&] { LoadObject(full.substr(0, cut)); });
    EXPECT_EQ(error.rfind("Failed to read ", 0), 0u) << cut << ": " << error;
  }
}

}  // namespace
