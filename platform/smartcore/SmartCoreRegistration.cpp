// Archive and reflection registrations of the training-data types. Registered here, in the
// library that defines them, so that every library of the process finds them in force.
#include <memory>
#include <string>

#include <rttr/registration>

#include "interfaces/core/Settings.h"
#include "interfaces/smartcore/ArchiveNames.h"
#include "interfaces/smartcore/ISmartSegmenter.h"
#include "interfaces/smartcore/ISmartSegmenterResult.h"
#include "interfaces/smartcore/ISmartTrainDatabaseVerifier.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartLabelToShapeAssignment.h"
#include "interfaces/smartcore/SmartLabelToShapeAssignmentCollection.h"
#include "interfaces/smartcore/SmartSegmenterResults.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "interfaces/smartcore/SmartTrainDataCollection.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"

TAMRIX_ARCHIVE_TYPE(SmartLabel, "Tamrix::Vision::SmartCore::SmartLabel")
TAMRIX_ARCHIVE_TYPE(SmartLabelCollection, "Tamrix::Vision::SmartCore::SmartLabelCollection")
TAMRIX_ARCHIVE_TYPE(SmartLabelToShapeAssignment,
                    "Tamrix::Vision::SmartCore::SmartLabelToShapeAssignment")
TAMRIX_ARCHIVE_TYPE(SmartLabelToShapeAssignmentCollection,
                    "Tamrix::Vision::SmartCore::SmartLabelToShapeAssignmentCollection")
TAMRIX_ARCHIVE_TYPE(SmartSegmenterResults, "Tamrix::Vision::SmartCore::SmartSegmenterResults")
TAMRIX_ARCHIVE_TYPE(SmartTrainData, "Tamrix::Vision::SmartCore::SmartTrainData")
TAMRIX_ARCHIVE_TYPE(SmartTrainDataCollection, "Tamrix::Vision::SmartCore::SmartTrainDataCollection")
TAMRIX_ARCHIVE_TYPE(SmartTrainDataDatabase, "Tamrix::Vision::SmartCore::SmartTrainDataDatabase")

// Direct base -> derived relations of the training-data types.
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, SmartTrainDataDatabase)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, SmartTrainData)
TAMRIX_ARCHIVE_RELATION(TrainDataReadOnlyBase, SmartTrainDataCollection)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, SmartLabel)
TAMRIX_ARCHIVE_RELATION(ISmartLabel, SmartLabel)
TAMRIX_ARCHIVE_RELATION(LabelCollectionBase, SmartLabelCollection)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, SmartLabelToShapeAssignment)
TAMRIX_ARCHIVE_RELATION(AssignmentCollectionBase, SmartLabelToShapeAssignmentCollection)
TAMRIX_ARCHIVE_RELATION(ResultReadOnlyBase, SmartSegmenterResults)
TAMRIX_ARCHIVE_RELATION(IChangedEvent, ISmartSegmenter)
TAMRIX_ARCHIVE_RELATION(IChangedEvent, ISmartLabel)
TAMRIX_ARCHIVE_RELATION(IObject, ISmartSegmenterResult)
TAMRIX_ARCHIVE_RELATION(IObject, ISmartTrainDatabaseVerifier)

// The collection templates reach the object framework through their own bases, so that a
// collection can be archived through any framework base as well.
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, LabelCollectionBase)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, AssignmentCollectionBase)
TAMRIX_ARCHIVE_RELATION(ShareableBase, TrainDataReadOnlyBase)
TAMRIX_ARCHIVE_RELATION(ShareableBase, ResultReadOnlyBase)

namespace {

using namespace Tamrix::Vision::SmartCore;
using Tamrix::Vorn::IObject;
using Tamrix::Vorn::TypeRegistration::ClassType;
using Tamrix::Vorn::TypeRegistration::PropertyType;

const std::string kLibrary = "Tamrix.Vision.SmartCore";

std::string Header(const char* name) { return "<interfaces/smartcore/" + std::string(name) + ">"; }

std::shared_ptr<SmartLabel> CreateLabel() {
  return std::make_shared<SmartLabel>(IObject::ObjectCreateAccessToken{}, std::string());
}
std::shared_ptr<SmartLabelCollection> CreateLabelCollection() {
  return std::make_shared<SmartLabelCollection>(IObject::ObjectCreateAccessToken{});
}
std::shared_ptr<SmartLabelToShapeAssignment> CreateAssignment() {
  return std::make_shared<SmartLabelToShapeAssignment>(IObject::ObjectCreateAccessToken{}, nullptr,
                                                       nullptr);
}
std::shared_ptr<SmartLabelToShapeAssignmentCollection> CreateAssignmentCollection() {
  return std::make_shared<SmartLabelToShapeAssignmentCollection>(
      IObject::ObjectCreateAccessToken{});
}
std::shared_ptr<SmartTrainData> CreateTrainData() {
  return std::make_shared<SmartTrainData>(IObject::ObjectCreateAccessToken{}, nullptr, true);
}
std::shared_ptr<SmartTrainDataDatabase> CreateDatabase() {
  return std::make_shared<SmartTrainDataDatabase>(IObject::ObjectCreateAccessToken{});
}

}  // namespace

// RTTR registers a class when the temporary registration object is destroyed, at the end of
// each statement: these are no unused objects.
// NOLINTBEGIN(bugprone-unused-raii)
RTTR_REGISTRATION {
  using rttr::metadata;
  using rttr::registration;

  registration::class_<ISmartLabel>("Tamrix::Vision::SmartCore::ISmartLabel")(
      metadata("LibraryExport", kLibrary), metadata("HeaderPath", Header("ISmartLabel.h")),
      metadata("ClassType", ClassType::Interface))
      // setName takes its text by reference, which a reflected setter may not: it is a method.
      .property_readonly("Name", &ISmartLabel::Name)
      .method("setName", &ISmartLabel::setName);

  registration::class_<SmartLabel>("Tamrix::Vision::SmartCore::SmartLabel")(
      metadata("LibraryExport", kLibrary), metadata("HeaderPath", Header("SmartLabel.h")),
      metadata("ClassType", ClassType::Concrete))
      .constructor(&CreateLabel)
      .property_readonly("Name", &SmartLabel::Name)
      .method("setName", &SmartLabel::setName)
      .property_readonly(
          "SfName", &SmartLabel::SfName)(metadata("PropertyAccessorType", PropertyType::Static));

  using LabelItems = SmartLabelCollection::Base;
  registration::class_<SmartLabelCollection>("Tamrix::Vision::SmartCore::SmartLabelCollection")(
      metadata("LibraryExport", kLibrary), metadata("HeaderPath", Header("SmartLabelCollection.h")),
      metadata("ClassType", ClassType::Concrete))
      .constructor(&CreateLabelCollection)
      .method("Count", static_cast<int (LabelItems::*)() const>(&LabelItems::Count))
      .method("Item", static_cast<std::shared_ptr<SmartLabel> (LabelItems::*)(int) const>(
                          &LabelItems::Item));

  registration::class_<SmartLabelToShapeAssignment>(
      "Tamrix::Vision::SmartCore::SmartLabelToShapeAssignment")(
      metadata("LibraryExport", kLibrary),
      metadata("HeaderPath", Header("SmartLabelToShapeAssignment.h")),
      metadata("ClassType", ClassType::Concrete))
      .constructor(&CreateAssignment)
      .property("Label", &SmartLabelToShapeAssignment::Label,
                &SmartLabelToShapeAssignment::setLabel)
      .property("Shape", &SmartLabelToShapeAssignment::Shape,
                &SmartLabelToShapeAssignment::setShape)
      .property_readonly("SfAssignment", &SmartLabelToShapeAssignment::SfAssignment)(
          metadata("PropertyAccessorType", PropertyType::Static));

  using AssignmentItems = SmartLabelToShapeAssignmentCollection::Base;
  registration::class_<SmartLabelToShapeAssignmentCollection>(
      "Tamrix::Vision::SmartCore::SmartLabelToShapeAssignmentCollection")(
      metadata("LibraryExport", kLibrary),
      metadata("HeaderPath", Header("SmartLabelToShapeAssignmentCollection.h")),
      metadata("ClassType", ClassType::Concrete))
      .constructor(&CreateAssignmentCollection)
      .method("Count", static_cast<int (AssignmentItems::*)() const>(&AssignmentItems::Count))
      .method(
          "Item",
          static_cast<std::shared_ptr<SmartLabelToShapeAssignment> (AssignmentItems::*)(int) const>(
              &AssignmentItems::Item));

  registration::class_<SmartTrainData>("Tamrix::Vision::SmartCore::SmartTrainData")(
      metadata("LibraryExport", kLibrary), metadata("HeaderPath", Header("SmartTrainData.h")),
      metadata("ClassType", ClassType::Concrete))
      .constructor(&CreateTrainData)
      .method("AddAssignment", &SmartTrainData::AddAssignment)
      .property("Image", &SmartTrainData::Image, &SmartTrainData::setImage)
      .property("IsTraining", &SmartTrainData::IsTraining, &SmartTrainData::setIsTraining)
      .property_readonly("Assignments", &SmartTrainData::Assignments)
      .property_readonly("SfTrainingContent", &SmartTrainData::SfTrainingContent)(
          metadata("PropertyAccessorType", PropertyType::Static));

  using TrainItems = SmartTrainDataCollection::Base;
  registration::class_<SmartTrainDataCollection>(
      "Tamrix::Vision::SmartCore::SmartTrainDataCollection")(
      metadata("LibraryExport", kLibrary),
      metadata("HeaderPath", Header("SmartTrainDataCollection.h")),
      metadata("ClassType", ClassType::Concrete))
      .method("Count", static_cast<int (TrainItems::*)() const>(&TrainItems::Count))
      .method("Item", static_cast<std::shared_ptr<SmartTrainData> (TrainItems::*)(int) const>(
                          &TrainItems::Item));

  registration::class_<SmartTrainDataDatabase>("Tamrix::Vision::SmartCore::SmartTrainDataDatabase")(
      metadata("LibraryExport", kLibrary),
      metadata("HeaderPath", Header("SmartTrainDataDatabase.h")),
      metadata("ClassType", ClassType::Concrete))
      .constructor(&CreateDatabase)
      .method("Add", &SmartTrainDataDatabase::Add)
      .method("Insert", &SmartTrainDataDatabase::Insert)
      .method("Remove", &SmartTrainDataDatabase::Remove)
      .method("RemoveAt", &SmartTrainDataDatabase::RemoveAt)
      .method("Clear", &SmartTrainDataDatabase::Clear)
      .method("Verify", &SmartTrainDataDatabase::Verify)
      .property_readonly("TrainingData", &SmartTrainDataDatabase::TrainingData);

  registration::class_<ISmartTrainDatabaseVerifier>(
      "Tamrix::Vision::SmartCore::ISmartTrainDatabaseVerifier")(
      metadata("LibraryExport", kLibrary),
      metadata("HeaderPath", Header("ISmartTrainDatabaseVerifier.h")),
      metadata("ClassType", ClassType::Interface));

  registration::class_<ISmartSegmenterResult>("Tamrix::Vision::SmartCore::ISmartSegmenterResult")(
      metadata("LibraryExport", kLibrary),
      metadata("HeaderPath", Header("ISmartSegmenterResult.h")),
      metadata("ClassType", ClassType::Interface))
      .property_readonly("LabelName", &ISmartSegmenterResult::LabelName)
      .property_readonly("Width", &ISmartSegmenterResult::Width)
      .property_readonly("Height", &ISmartSegmenterResult::Height)
      .property_readonly("Area", &ISmartSegmenterResult::Area);

  using ResultItems = SmartSegmenterResults::Base;
  registration::class_<SmartSegmenterResults>("Tamrix::Vision::SmartCore::SmartSegmenterResults")(
      metadata("LibraryExport", kLibrary),
      metadata("HeaderPath", Header("SmartSegmenterResults.h")),
      metadata("ClassType", ClassType::Concrete))
      .method("Count", static_cast<int (ResultItems::*)() const>(&ResultItems::Count))
      .method("Item",
              static_cast<std::shared_ptr<ISmartSegmenterResult> (ResultItems::*)(int) const>(
                  &ResultItems::Item));

  registration::class_<ISmartSegmenter>("Tamrix::Vision::SmartCore::ISmartSegmenter")(
      metadata("LibraryExport", kLibrary), metadata("HeaderPath", Header("ISmartSegmenter.h")),
      metadata("ClassType", ClassType::Interface))
      .method("Train", &ISmartSegmenter::Train)
      .method("Retrain", &ISmartSegmenter::Retrain)
      .property("SampleSize", &ISmartSegmenter::SampleSize, &ISmartSegmenter::setSampleSize)
      .property_readonly("SmartTrainDataDatabase", &ISmartSegmenter::SmartTrainDataDatabase)
      .property_readonly("Labels", &ISmartSegmenter::Labels)
      .property_readonly("IsDirty", &ISmartSegmenter::IsDirty);
}
// NOLINTEND(bugprone-unused-raii)
