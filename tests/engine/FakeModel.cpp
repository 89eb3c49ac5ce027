#include "tests/engine/FakeModel.h"

CEREAL_REGISTER_TYPE_WITH_NAME(EngineTests::FakeModel, "EngineTests::FakeModel")
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::SmartSegmenter::ISegmenterModel,
                                     EngineTests::FakeModel)
