// The one way this project includes cereal.
//
// cereal keeps its binding, version and caster tables in template statics. They are shared by
// every library of the process only while their instantiations have default visibility, so the
// includes are wrapped to keep them visible whatever preset a consumer builds with. The loaders of
// CerealHardening.h replace cereal's trusting ones for the portable binary input archive.
#pragma once

#pragma GCC visibility push(default)
#include <cereal/access.hpp>
#include <cereal/archives/portable_binary.hpp>
#include <cereal/cereal.hpp>
#include <cereal/types/base_class.hpp>
#include <cereal/types/memory.hpp>
#include <cereal/types/polymorphic.hpp>
#include <cereal/types/vector.hpp>

#include "interfaces/core/CerealHardening.h"
#pragma GCC visibility pop
