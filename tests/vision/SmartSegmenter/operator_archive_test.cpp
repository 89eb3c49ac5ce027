#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "interfaces/core/Cereal.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/ObjectArchive.h"
#include "support/OperatorTestPeer.h"

namespace Tamrix::Testing {
namespace {

using Tamrix::Vision::SmartCore::ISmartSegmenter;
using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;
const std::string kOperatorId = "Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator";

// Reads little-endian words of an archive written on this machine.
class Reader {
 public:
  explicit Reader(std::string bytes) : bytes_(std::move(bytes)) {}
  std::uint8_t U8() { return static_cast<std::uint8_t>(bytes_.at(at_++)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Take(4)); }
  std::uint64_t U64() { return Take(8); }
  std::string Text(std::size_t length) {
    std::string text = bytes_.substr(at_, length);
    at_ += length;
    return text;
  }
  std::size_t Position() const { return at_; }

 private:
  std::uint64_t Take(int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) value |= std::uint64_t{U8()} << (8 * i);
    return value;
  }
  std::string bytes_;
  std::size_t at_ = 0;
};

class OperatorArchive : public OperatorTest {
 protected:
  std::string Save(const std::vector<std::shared_ptr<Tamrix::Vorn::IObject>>& objects) {
    std::ostringstream out;
    {
      cereal::PortableBinaryOutputArchive archive(out);
      for (const auto& object : objects) archive(object);
    }
    return out.str();
  }
  template <typename Base>
  std::shared_ptr<Base> Load(const std::string& bytes) {
    std::istringstream in(bytes);
    cereal::PortableBinaryInputArchive archive(in);
    std::shared_ptr<Base> loaded;
    archive(loaded);
    return loaded;
  }
  // An operator with training data, a label collection and trained segmenters for A and B.
  std::shared_ptr<Operator> Populated() {
    auto op = Peer::Create();
    auto a = Label("A"), b = Label("B");
    op->Labels()->Add(a);
    op->Labels()->Add(b);
    op->SmartTrainDataDatabase()->Add(Item({a, b}));
    op->SmartTrainDataDatabase()->Add(Item({b}, false));
    op->Train();
    return op;
  }
};

TEST_F(OperatorArchive, FirstOperatorRecordStartsWithTypeIdObjectIdAndVersion) {
  auto op = Peer::Create();
  Reader reader(Save({op}));
  EXPECT_EQ(reader.U8(), 1);  // byte order: little-endian
  EXPECT_EQ(reader.U32(), 0x80000001u);
  ASSERT_EQ(reader.U64(), 54u);
  EXPECT_EQ(reader.Text(54), kOperatorId);
  EXPECT_EQ(reader.U32(), 0x80000001u);  // first shared object
  EXPECT_EQ(reader.U32(), 1u);           // the operator's class version
}

TEST_F(OperatorArchive, SecondOperatorCarriesOnlyTheTypeNumberAndNoVersionWords) {
  auto first = Peer::Create();
  auto second = Peer::Create();
  const std::string both = Save({first, second});
  const std::string one = Save({first});
  // The second record starts where the whole of the first ended.
  Reader reader(both.substr(one.size()));
  EXPECT_EQ(reader.U32(), 1u);  // type number, no id string
  const std::uint32_t objectId = reader.U32();
  EXPECT_EQ(objectId & 0x80000000u, 0x80000000u);
  // Field 1 holds no version words now: the database pointer follows at once.
  EXPECT_EQ(reader.U32(), 0x40000000u);
}

TEST_F(OperatorArchive, SameOperatorTwiceIsWrittenOnceAndLoadsAsOneObject) {
  auto op = Peer::Create();
  const std::string both = Save({op, op});
  const std::string one = Save({op});
  Reader reader(both.substr(one.size()));
  EXPECT_EQ(reader.U32(), 1u);
  EXPECT_EQ(reader.U32(), 1u);  // object id 1, already written
  EXPECT_EQ(reader.Position(), both.size() - one.size());

  std::istringstream in(both);
  cereal::PortableBinaryInputArchive archive(in);
  std::shared_ptr<Tamrix::Vorn::IObject> x, y;
  archive(x, y);
  EXPECT_EQ(x, y);
}

TEST_F(OperatorArchive, NullSegmenterPointerIsTheSingleWordZero) {
  std::ostringstream out;
  {
    cereal::PortableBinaryOutputArchive archive(out);
    archive(std::shared_ptr<Tamrix::Vision::SmartSegmenter::Segmenter>());
  }
  Reader reader(out.str());
  reader.U8();
  EXPECT_EQ(reader.U32(), 0u);
  EXPECT_EQ(reader.Position(), out.str().size());
}

TEST_F(OperatorArchive, RoundTripRestoresStateAndSegmentsAlike) {
  auto op = Populated();
  op->setSampleSize(3.5);
  Peer::SetFlags(*op, true, true);
  const auto image = std::make_shared<Tamrix::Vision::Image8Grey>(Token{}, 8, 8);
  const auto before = std::static_pointer_cast<ISmartSegmenter>(op)->Execute(*image, nullptr);
  const std::string bytes = Save({op});
  recording.Reset();

  auto loaded = std::dynamic_pointer_cast<Operator>(Load<Tamrix::Vorn::IObject>(bytes));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->SampleSize(), 3.5);
  EXPECT_TRUE(Peer::TrainingRequired(*loaded));
  EXPECT_TRUE(Peer::FullTrainRequired(*loaded));
  EXPECT_EQ(loaded->SmartTrainDataDatabase()->TrainingData()->Count(), 2);
  EXPECT_EQ(loaded->Labels()->Count(), 2);
  EXPECT_EQ(Peer::SegmenterLabels(*loaded), (std::vector<std::string>{"A", "B"}));
  // The binding's factory ran once, then once more per loaded segmenter; each segmenter was
  // refreshed in list order, and no new segmenter was made.
  std::vector<std::string> sequence;
  for (const auto& call : recording.Calls()) sequence.push_back(call.operation + " " + call.label);
  EXPECT_EQ(sequence,
            (std::vector<std::string>{"Factory ", "Factory ", "Update A", "Factory ", "Update B"}));
  // Loaded segmenters and items are wired again.
  EXPECT_EQ(Peer::RegisteredItems(*loaded), 2u);

  const auto after = std::static_pointer_cast<ISmartSegmenter>(loaded)->Execute(*image, nullptr);
  ASSERT_EQ(after->Count(), before->Count());
  for (int i = 0; i < after->Count(); ++i) {
    EXPECT_EQ(after->Item(i)->LabelName(), before->Item(i)->LabelName());
  }
}

TEST_F(OperatorArchive, LoadingRaisesNoChangeAndKeepsTheStoredFlags) {
  // Trained and clean: a change raised while the record is read would set the flags again.
  const std::string bytes = Save({Populated()});
  recording.Reset();
  auto op = std::dynamic_pointer_cast<Operator>(Load<Tamrix::Vorn::IObject>(bytes));
  ASSERT_NE(op, nullptr);
  EXPECT_FALSE(Peer::TrainingRequired(*op));
  EXPECT_FALSE(Peer::FullTrainRequired(*op));
  EXPECT_FALSE(op->IsDirty());
  EXPECT_EQ(recording.Count("Train") + recording.Count("Retrain"), 0);
  EXPECT_EQ(recording.Count("CreateSegmenter"), 0) << "loaded segmenters are kept, not made again";
}

TEST_F(OperatorArchive, BigEndianArchiveLoadsTheSameOperator) {
  auto op = Populated();
  op->setSampleSize(3.5);
  std::ostringstream out;
  {
    cereal::PortableBinaryOutputArchive archive(
        out, cereal::PortableBinaryOutputArchive::Options::BigEndian());
    archive(std::static_pointer_cast<Tamrix::Vorn::IObject>(op));
  }
  const std::string bytes = out.str();
  ASSERT_EQ(bytes.size(), Save({op}).size());
  // Flag 0, then the words most significant byte first.
  const std::string head = bytes.substr(0, 1 + 4 + 8);
  EXPECT_EQ(head, std::string("\x00\x80\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x36", 13));
  EXPECT_EQ(bytes.substr(13, 54), kOperatorId);

  auto loaded = std::dynamic_pointer_cast<Operator>(Load<Tamrix::Vorn::IObject>(bytes));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->SampleSize(), 3.5);
  EXPECT_EQ(loaded->Labels()->Count(), 2);
  EXPECT_EQ(loaded->Labels()->Item(1)->Name(), "B");
  EXPECT_EQ(loaded->SmartTrainDataDatabase()->TrainingData()->Count(), 2);
  EXPECT_EQ(Peer::SegmenterLabels(*loaded), (std::vector<std::string>{"A", "B"}));
}

TEST_F(OperatorArchive, LoadedOperatorReactsToEditsAgain) {
  auto loaded = Load<ISmartSegmenter>(Save({Populated()}));
  auto op = std::dynamic_pointer_cast<Operator>(loaded);
  ASSERT_NE(op, nullptr);
  EXPECT_FALSE(op->IsDirty());
  op->SmartTrainDataDatabase()->Add(Item({Label("C")}));
  EXPECT_TRUE(op->IsDirty());
  EXPECT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(OperatorArchive, LoadsThroughEveryRegisteredBase) {
  const std::string bytes = Save({Peer::Create()});
  EXPECT_NE(std::dynamic_pointer_cast<Operator>(Load<Tamrix::Vorn::IObject>(bytes)), nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<Operator>(Load<ISmartSegmenter>(bytes)), nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<Operator>(Load<Tamrix::Vision::IChangedEvent>(bytes)),
            nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<Operator>(Load<Tamrix::Vision::ShareableBase>(bytes)),
            nullptr);
  EXPECT_NE(
      std::dynamic_pointer_cast<Operator>(Load<Tamrix::Vision::ChangedEventShareableBase>(bytes)),
      nullptr);
}

TEST_F(OperatorArchive, NewerStoredVersionIsRefusedBeforeAnythingIsRead) {
  std::string bytes = Save({Peer::Create()});
  recording.Reset();
  // The version word follows the flag, type reference, id and object id.
  const std::size_t versionAt = 1 + 4 + 8 + 54 + 4;
  bytes[versionAt] = 2;
  try {
    Load<Tamrix::Vorn::IObject>(bytes);
    FAIL() << "no exception";
  } catch (const Tamrix::Vision::VisionException& e) {
    EXPECT_NE(std::string(e.what()).find("SmartSegmenterOperator::serialize()"), std::string::npos)
        << e.what();
  }
  EXPECT_EQ(recording.Count("Factory"), 0) << "nothing after the version check ran";
}

TEST_F(OperatorArchive, UnregisteredArchiveIdFailsWithCerealsError) {
  std::string bytes = Save({Peer::Create()});
  bytes[1 + 4 + 8 + 53] = 'X';  // "...SmartSegmenterOperatoX"
  EXPECT_THROW(Load<Tamrix::Vorn::IObject>(bytes), cereal::Exception);
}

TEST_F(OperatorArchive, MissingHelperStopsTheLoadWhenTheEngineIsBound) {
  const std::string bytes = Save({Populated()});
  UseModule("missing");
  recording.Reset();
  try {
    Load<Tamrix::Vorn::IObject>(bytes);
    FAIL() << "no exception";
  } catch (const Tamrix::Vision::VisionException& e) {
    EXPECT_EQ(e.Code(), Tamrix::Vision::VisionExceptionCodes::LibraryNotLoaded);
    EXPECT_STREQ(e.what(), "Cannot load library");
  }
  EXPECT_EQ(recording.Count("Update"), 0) << "no segmenter was read";
}

TEST_F(OperatorArchive, TruncatedArchivesFailWithReadErrors) {
  const std::string bytes = Save({Populated()});
  for (std::size_t cut : {bytes.size() / 4, bytes.size() / 2, bytes.size() - 1}) {
    try {
      Load<Tamrix::Vorn::IObject>(bytes.substr(0, cut));
      ADD_FAILURE() << "loaded from " << cut << " of " << bytes.size() << " bytes";
    } catch (const cereal::Exception& e) {
      EXPECT_EQ(std::string(e.what()).rfind("Failed to read ", 0), 0u) << e.what();
    }
  }
}

}  // namespace
}  // namespace Tamrix::Testing
