// The operator's archive record.
#include "interfaces/core/ArchiveLimits.h"
#include "interfaces/core/Cereal.h"
#include "interfaces/core/Settings.h"
#include "vision/SmartSegmenter/OperatorBinding.h"

namespace Tamrix::Vision::SmartSegmenter {

template <class Archive>
void SmartSegmenterOperator::serialize(Archive& archive, unsigned int version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "SmartSegmenterOperator::serialize()");
    archive(cereal::base_class<ChangedEventShareableBase>(this));
    // Stored values go straight into the fields: no setter, check or notification runs.
    archive(database_);
    archive(labels_);
    Archiving::LoadBool(archive, trainingRequired_);
    Archiving::LoadBool(archive, fullTrainRequired_);
    archive(sampleSize_);
    if (!database_ || !labels_) {
      throw cereal::Exception(
          "SmartSegmenterOperator::serialize(): expected a training-data database and a label "
          "collection, found an empty pointer");
    }

    const std::shared_ptr<impl> binding = EnsureOstrelLibrary();
    archive(binding->segmenters);
    if (!binding->segmenters) binding->segmenters = std::make_shared<SegmenterList>();
    for (const auto& segmenter : *binding->segmenters) {
      if (!segmenter) {
        throw cereal::Exception(
            "SmartSegmenterOperator::serialize(): expected a segmenter, found an empty pointer");
      }
      // Each loaded segmenter gets an access object of its own, as a new one would.
      std::shared_ptr<ISmartSegmenterAccess> access = binding->access;
      if (access) {
        access.reset();
        binding->factory(&access);
      }
      segmenter->SetAccessAndParameters(access);
      segmenter->UpdateTrainingParametersAndTrainCache();
    }
    FinalConstruct();
  } else {
    archive(cereal::base_class<ChangedEventShareableBase>(this));
    archive(database_);
    archive(labels_);
    Archiving::SaveBool(archive, trainingRequired_);
    Archiving::SaveBool(archive, fullTrainRequired_);
    archive(sampleSize_);
    const std::shared_ptr<impl> binding = EnsureOstrelLibrary();
    archive(binding->segmenters);
  }
}

template void SmartSegmenterOperator::serialize(cereal::PortableBinaryOutputArchive&, unsigned int);
template void SmartSegmenterOperator::serialize(cereal::PortableBinaryInputArchive&, unsigned int);

}  // namespace Tamrix::Vision::SmartSegmenter
