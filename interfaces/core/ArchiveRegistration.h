// How every library of the framework registers its archive types and relations: one named line
// per type or relation.
//
//   TAMRIX_ARCHIVE_TYPE(Polygon, "Tamrix::Vision::Polygon")    // binds both portable archives
//   TAMRIX_ARCHIVE_RELATION(GraphicInteractiveBase, Polygon)   // direct base, then derived
//
// The names are looked up in the namespace Tamrix::ArchiveNames, which the ArchiveNames.h header
// of each library fills with its types: the plain class name, or for a template instance a name
// of its own, since the macros cannot take arguments that hold commas. A registration file
// includes the ArchiveNames.h of every library whose types it names.
//
// The archive id is spelled out in full on every type line because it is part of the archive
// format: it must never change with a rename. A type or relation registered by several libraries
// of one process is harmless; the binding made first stays in force.
#pragma once

#include "interfaces/core/Cereal.h"

#define TAMRIX_ARCHIVE_TYPE(Name, Id) CEREAL_REGISTER_TYPE_WITH_NAME(Tamrix::ArchiveNames::Name, Id)

#define TAMRIX_ARCHIVE_RELATION(Base, Derived) \
  CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::ArchiveNames::Base, Tamrix::ArchiveNames::Derived)
