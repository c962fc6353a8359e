#pragma once

// Tablesmith's runtime library: what the C++ classes Tablesmith generates
// need to compile and run (a session with its per-thread connections,
// queries that throw, sequences, the entity and DAO bases, the record
// picker). Link Tablesmith::Runtime (CMake) or tablesmith-runtime
// (pkg-config) and include the headers by the paths the generated code uses,
// for example <data/objectbase.h>.

#include <QtGlobal>

#define TABLESMITH_RUNTIME_VERSION_MAJOR 1
#define TABLESMITH_RUNTIME_VERSION_MINOR 0
#define TABLESMITH_RUNTIME_VERSION_PATCH 0

// Marks the library's own classes and functions; defined while the library
// itself is built, imported otherwise.
#if defined(TABLESMITH_RUNTIME_LIBRARY)
#define TABLESMITH_RUNTIME_EXPORT Q_DECL_EXPORT
#else
#define TABLESMITH_RUNTIME_EXPORT Q_DECL_IMPORT
#endif
