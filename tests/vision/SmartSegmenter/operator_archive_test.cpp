#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "interfaces/core/Cereal.h"
#include "interfaces/core/Exceptions.h"
#include "support/OperatorTestPeer.h"
#include "tests/core/TestSupport.h"
#include "tests/support/ArchiveBytes.h"
#include "tests/support/ArchiveRoundTrip.h"

namespace Tamrix::Testing {
namespace {

using Tamrix::Vision::SmartCore::ISmartSegmenter;
using Object = Tamrix::Vorn::IObject;
const std::string kOperatorId = "Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator";
// Byte-order flag, new polymorphic type 1 with its id, new shared object 1, class version 1.
const std::string kFirstRecord =
    Bytes().U8(1).U32(0x80000001).Text(kOperatorId).U32(0x80000001).U32(1).str();

std::uint32_t U32At(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= std::uint32_t{std::uint8_t(bytes.at(at + i))} << (8 * i);
  return value;
}

class OperatorArchive : public OperatorTest {
 protected:
  static std::string Save(const std::vector<std::shared_ptr<Object>>& objects,
                          bool bigEndian = false) {
    using Tamrix::Testing::ArchiveOptions;
    return Tamrix::Testing::SaveArchiveOfEach(
        objects, bigEndian ? ArchiveOptions::BigEndian() : ArchiveOptions::Default());
  }
  template <typename Base = Object>
  static std::shared_ptr<Operator> Load(const std::string& bytes) {
    return std::dynamic_pointer_cast<Operator>(
        Tamrix::Testing::LoadArchived<std::shared_ptr<Base>>(bytes));
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

TEST_F(OperatorArchive, RecordLayouts) {
  auto op = Peer::Create();
  const std::string one = Save({op});
  EXPECT_EQ(one.substr(0, kFirstRecord.size()), kFirstRecord);
  // A second operator, where the whole of the first ended: only the type number, a new object id
  // and, with no version words now, the database pointer at once.
  const std::string two = Save({op, Peer::Create()});
  EXPECT_EQ(U32At(two, one.size()), 1u);
  EXPECT_EQ(U32At(two, one.size() + 4) & 0x80000000u, 0x80000000u);
  EXPECT_EQ(U32At(two, one.size() + 8), 0x40000000u);
  // The same operator again: type 1, then a reference to object 1, already written.
  const std::string same = Save({op, op});
  EXPECT_EQ(same.substr(one.size()), Bytes().U32(1).U32(1).str());
  std::shared_ptr<Object> x, y;
  Tamrix::Testing::LoadArchive(same, x, y);
  EXPECT_EQ(x, y);
}

TEST_F(OperatorArchive, RoundTripInEitherByteOrderRestoresStateAndSegmentsAlike) {
  auto op = Populated();
  op->setSampleSize(3.5);
  SetFlagState(*op, "TF");
  const Tamrix::Vision::Image8Grey image(Token{}, 8, 8);
  const auto before = static_cast<ISmartSegmenter&>(*op).Execute(image, nullptr);
  const std::string little = Save({op});
  const std::string big = Save({op}, true);
  ASSERT_EQ(big.size(), little.size());
  // Flag 0, then the words most significant byte first.
  EXPECT_EQ(big.substr(0, 13),
            std::string("\x00\x80\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x36", 13));
  EXPECT_EQ(big.substr(13, 54), kOperatorId);
  for (const std::string& bytes : {little, big}) {
    recording.Reset();
    auto loaded = Load(bytes);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->SampleSize(), 3.5);
    EXPECT_EQ(FlagState(*loaded), "TF");
    EXPECT_EQ(loaded->SmartTrainDataDatabase()->TrainingData()->Count(), 2);
    ASSERT_EQ(loaded->Labels()->Count(), 2);
    EXPECT_EQ(loaded->Labels()->Item(1)->Name(), "B");
    EXPECT_EQ(Peer::SegmenterLabels(*loaded), (std::vector<std::string>{"A", "B"}));
    // The binding's factory ran once, then once more per loaded segmenter; each segmenter was
    // refreshed in list order, and no new segmenter was made.
    std::vector<std::string> calls;
    for (const auto& call : recording.Calls()) calls.push_back(call.operation + " " + call.label);
    EXPECT_EQ(calls, (std::vector<std::string>{"Factory ", "Factory ", "Update A", "Factory ",
                                               "Update B"}));
    // Loaded segmenters and items are wired again.
    EXPECT_EQ(Peer::RegisteredItems(*loaded), 2u);
    const auto after = static_cast<ISmartSegmenter&>(*loaded).Execute(image, nullptr);
    ASSERT_EQ(after->Count(), before->Count());
    for (int i = 0; i < after->Count(); ++i)
      EXPECT_EQ(after->Item(i)->LabelName(), before->Item(i)->LabelName());
  }
}

TEST_F(OperatorArchive, LoadingRaisesNoChangeKeepsTheStoredFlagsAndReactsToEditsAfterwards) {
  // Trained and clean: a change raised while the record is read would set the flags again.
  const std::string bytes = Save({Populated()});
  recording.Reset();
  auto op = Load<ISmartSegmenter>(bytes);
  ASSERT_NE(op, nullptr);
  EXPECT_EQ(FlagState(*op), "");
  EXPECT_EQ(recording.Count("Train") + recording.Count("Retrain"), 0);
  EXPECT_EQ(recording.Count("CreateSegmenter"), 0) << "loaded segmenters are kept, not made again";
  op->SmartTrainDataDatabase()->Add(Item({Label("C")}));
  EXPECT_TRUE(op->IsDirty());
  EXPECT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(OperatorArchive, LoadsThroughEveryRegisteredBase) {
  const std::string bytes = Save({Peer::Create()});
  EXPECT_NE(Load<Object>(bytes), nullptr);
  EXPECT_NE(Load<ISmartSegmenter>(bytes), nullptr);
  EXPECT_NE(Load<Tamrix::Vision::IChangedEvent>(bytes), nullptr);
  EXPECT_NE(Load<Tamrix::Vision::ShareableBase>(bytes), nullptr);
  EXPECT_NE(Load<Tamrix::Vision::ChangedEventShareableBase>(bytes), nullptr);
}

TEST_F(OperatorArchive, NewerStoredVersionIsRefusedBeforeAnythingIsRead) {
  std::string bytes = Save({Peer::Create()});
  recording.Reset();
  bytes[kFirstRecord.size() - 4] = 2;
  EXPECT_NE(MessageOf<Tamrix::Vision::VisionException>([&] {
              Load(bytes);
            }).find("SmartSegmenterOperator::serialize(): stored class version 2"),
            std::string::npos);
  EXPECT_EQ(recording.Count("Factory"), 0) << "nothing after the version check ran";
}

TEST_F(OperatorArchive, MissingHelperStopsTheLoadWhenTheEngineIsBound) {
  const std::string bytes = Save({Populated()});
  UseModule("missing");
  recording.Reset();
  CoreTests::ExpectVisionError([&] { Load(bytes); },
                               Tamrix::Vision::VisionExceptionCodes::LibraryNotLoaded,
                               "Cannot load library");
  EXPECT_EQ(recording.Count("Update"), 0) << "no segmenter was read";
}

TEST_F(OperatorArchive, TruncatedArchivesFailWithReadErrors) {
  const std::string bytes = Save({Populated()});
  for (std::size_t cut : {bytes.size() / 4, bytes.size() / 2, bytes.size() - 1}) {
    EXPECT_EQ(MessageOf<cereal::Exception>([&] {
                Load(bytes.substr(0, cut));
              }).rfind("Failed to read ", 0),
              0u)
        << cut << " of " << bytes.size() << " bytes";
  }
}

}  // namespace
}  // namespace Tamrix::Testing
