// The training-data library's types under the names that archive registrations use (see
// interfaces/core/ArchiveRegistration.h).
#pragma once

#include <memory>

#include "interfaces/core/ArchiveNames.h"
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

namespace Tamrix::ArchiveNames {

using Tamrix::Vision::SmartCore::ISmartLabel;
using Tamrix::Vision::SmartCore::ISmartSegmenter;
using Tamrix::Vision::SmartCore::ISmartSegmenterResult;
using Tamrix::Vision::SmartCore::ISmartTrainDatabaseVerifier;
using Tamrix::Vision::SmartCore::SmartLabel;
using Tamrix::Vision::SmartCore::SmartLabelCollection;
using Tamrix::Vision::SmartCore::SmartLabelToShapeAssignment;
using Tamrix::Vision::SmartCore::SmartLabelToShapeAssignmentCollection;
using Tamrix::Vision::SmartCore::SmartSegmenterResults;
using Tamrix::Vision::SmartCore::SmartTrainData;
using Tamrix::Vision::SmartCore::SmartTrainDataCollection;
using Tamrix::Vision::SmartCore::SmartTrainDataDatabase;

// The collection template instances behind the training-data collections.
using LabelCollectionBase =
    Tamrix::Vision::Implementation::CollectionBase<std::shared_ptr<SmartLabel>>;
using AssignmentCollectionBase =
    Tamrix::Vision::Implementation::CollectionBase<std::shared_ptr<SmartLabelToShapeAssignment>>;
using TrainDataReadOnlyBase =
    Tamrix::Vision::Implementation::ReadOnlyCollectionBase<std::shared_ptr<SmartTrainData>>;
using ResultReadOnlyBase =
    Tamrix::Vision::Implementation::ReadOnlyCollectionBase<std::shared_ptr<ISmartSegmenterResult>>;

}  // namespace Tamrix::ArchiveNames
