#pragma once

// Stand-in of the target framework, only as much as generated code names, so
// that the tests can compile what the generators write.

#include <QtGlobal>

#define VELLUM_EXPORT Q_DECL_EXPORT
