#pragma once

// VELLUM_EXPORT marks the generated classes. They are compiled into your
// program or library, not into the runtime, so the macro exports them from
// whatever they are built into. Define it yourself before including any
// generated header to choose otherwise (for example empty, or
// Q_DECL_IMPORT in a module that uses generated classes from a DLL).

#include <global/tablesmith_runtime_global.h>

#ifndef VELLUM_EXPORT
#define VELLUM_EXPORT Q_DECL_EXPORT
#endif
