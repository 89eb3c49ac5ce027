#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "interfaces/core/ArchiveLimits.h"
#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/ObjectArchive.h"
#include "tests/support/ArchiveBytes.h"

namespace {

using namespace Tamrix::Vision;
namespace Archiving = Tamrix::Vision::Archiving;

using Tamrix::Testing::Bytes;

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

TEST(ObjectArchive, RecordLayoutAndRoundTripThroughIObjectKeepingTheDynamicType) {
  std::shared_ptr<Tamrix::Vorn::IObject> object =
      std::make_shared<ChangedEventShareableBase>(Tamrix::Vorn::IObject::ObjectCreateAccessToken{});
  std::stringstream stream;
  Archiving::SaveObject(stream, object);
  EXPECT_EQ(stream.str(), BaseRecord(1));
  auto typed = std::dynamic_pointer_cast<ChangedEventShareableBase>(Archiving::LoadObject(stream));
  ASSERT_NE(typed, nullptr);
  EXPECT_NE(typed.get(), object.get());
  EXPECT_EQ(typed->shared_from_this().get(), static_cast<ShareableBase*>(typed.get()));
  // A null pointer is the single word zero.
  std::stringstream null;
  Archiving::SaveObject(null, nullptr);
  EXPECT_EQ(null.str(), Bytes().U8(1).U32(0).str());
  EXPECT_EQ(Archiving::LoadObject(null), nullptr);
}

TEST(ObjectArchive, NewerVersionsUnknownIdsAndTruncatedStreamsAreRefused) {
  std::istringstream newer(BaseRecord(9));
  try {
    Archiving::LoadObject(newer);
    ADD_FAILURE() << "no exception";
  } catch (const VisionException& e) {
    EXPECT_EQ(e.Code(), VisionExceptionCodes::VersionMismatch);
    EXPECT_NE(std::string(e.what()).find("ChangedEventShareableBase::serialize()"),
              std::string::npos);
  }
  std::istringstream unknown(
      Bytes().U8(1).U32(0x80000001).Text("No::Such::Type").U32(0x80000001).str());
  EXPECT_THROW(Archiving::LoadObject(unknown), cereal::Exception);
  const std::string full = BaseRecord(1);
  for (std::size_t cut = 1; cut < full.size(); ++cut) {
    std::istringstream in(full.substr(0, cut));
    try {
      Archiving::LoadObject(in);
      ADD_FAILURE() << "loaded from " << cut << " bytes";
    } catch (const cereal::Exception& e) {
      EXPECT_EQ(std::string(e.what()).rfind("Failed to read ", 0), 0u) << e.what();
    }
  }
}

template <typename Load>
void ExpectReadFailureWithoutHugeAllocation(const std::string& bytes, Load load) {
  std::istringstream in(bytes);
  cereal::PortableBinaryInputArchive archive(in);
  EXPECT_THROW(load(archive), cereal::Exception);
}

TEST(ArchiveLimits, HugeStringLengthFailsOnTheMissingBytes) {
  ExpectReadFailureWithoutHugeAllocation(Bytes().U8(1).U64(1ull << 62).Text("abc").str(),
                                         [](auto& archive) {
                                           std::string text;
                                           Archiving::LoadString(archive, text);
                                         });
}

TEST(ArchiveLimits, HugeArithmeticCountFailsOnTheMissingBytes) {
  ExpectReadFailureWithoutHugeAllocation(Bytes().U8(1).U64(1ull << 61).U64(0).str(),
                                         [](auto& archive) {
                                           std::vector<double> values;
                                           Archiving::LoadArithmeticVector(archive, values);
                                         });
}

TEST(ArchiveLimits, HugeItemCountFailsOnTheMissingBytes) {
  ExpectReadFailureWithoutHugeAllocation(Bytes().U8(1).U64(~0ull).U32(0).str(), [](auto& archive) {
    std::vector<std::shared_ptr<Tamrix::Vorn::IObject>> items;
    Archiving::LoadVector(archive, items);
  });
}

TEST(ArchiveLimits, BoolBytesOtherThanZeroAndOneAreRefused) {
  for (int byte : {0, 1, 2, 255}) {
    std::istringstream in(Bytes().U8(1).U8(static_cast<std::uint8_t>(byte)).str());
    cereal::PortableBinaryInputArchive archive(in);
    bool value = false;
    if (byte <= 1) {
      Archiving::LoadBool(archive, value);
      EXPECT_EQ(value, byte == 1);
    } else {
      EXPECT_THROW(Archiving::LoadBool(archive, value), cereal::Exception) << byte;
    }
  }
}

TEST(ArchiveLimits, StringsAndBlocksRoundTripInTheSameLayoutAsCereal) {
  std::ostringstream out;
  {
    cereal::PortableBinaryOutputArchive archive(out);
    Archiving::SaveString(archive, "a");
    Archiving::SaveString(archive, "");
    Archiving::SaveArithmeticVector(archive, std::vector<double>{1.0});
  }
  EXPECT_EQ(out.str(), Bytes().U8(1).Text("a").Text("").U64(1).U64(0x3FF0000000000000ull).str());
}

TEST(ArchiveLimits, BigEndianArchiveLoadsTheSameValues) {
  // Byte-order flag 0: the archive was written big-endian.
  std::string bytes;
  bytes += '\0';
  const unsigned char count[8] = {0, 0, 0, 0, 0, 0, 0, 2};
  const unsigned char one[8] = {0x3F, 0xF0, 0, 0, 0, 0, 0, 0};
  const unsigned char minusTwo[8] = {0xC0, 0, 0, 0, 0, 0, 0, 0};
  bytes.append(reinterpret_cast<const char*>(count), 8);
  bytes.append(reinterpret_cast<const char*>(one), 8);
  bytes.append(reinterpret_cast<const char*>(minusTwo), 8);
  std::istringstream in(bytes);
  cereal::PortableBinaryInputArchive archive(in);
  std::vector<double> values;
  Archiving::LoadArithmeticVector(archive, values);
  EXPECT_EQ(values, (std::vector<double>{1.0, -2.0}));
}

}  // namespace
