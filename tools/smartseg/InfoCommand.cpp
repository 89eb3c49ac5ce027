#include <cstdio>

#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartLabelToShapeAssignmentCollection.h"
#include "interfaces/smartcore/SmartTrainDataCollection.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tools/smartseg/Commands.h"
#include "tools/smartseg/DisplayText.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ModelFile.h"

namespace Smartseg {

int RunInfo(const std::filesystem::path& modelPath) {
  const std::shared_ptr<Operator> model = LoadModel(modelPath);
  const auto labels = model->Labels();
  const auto items = model->SmartTrainDataDatabase()->TrainingData();
  int training = 0;
  int assignments = 0;
  for (int i = 0; i < items->Count(); ++i) {
    const auto item = items->Item(i);
    training += item->IsTraining() ? 1 : 0;
    assignments += item->Assignments()->Count();
  }
  std::printf("Model:          %s\n", PrintableText(modelPath.string()).c_str());
  std::printf("Labels (%d):", labels->Count());
  for (int i = 0; i < labels->Count(); ++i) {
    std::printf("%s %d=%s", i ? "," : "", i + 1, PrintableText(labels->Item(i)->Name()).c_str());
  }
  std::printf("\nSample size:    %g\n", model->SampleSize());
  std::printf("Training items: %d (%d used for training, %d labelled shapes)\n", items->Count(),
              training, assignments);
  std::printf("Needs training: %s\n", model->IsDirty() ? "yes" : "no");
  std::printf("Engine:\n");
  for (const std::string& line : DescribeModels(model)) {
    std::printf("  %s\n", PrintableText(line).c_str());
  }
  return kExitSuccess;
}

}  // namespace Smartseg
