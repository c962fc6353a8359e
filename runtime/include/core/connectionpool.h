#pragma once

// The connections of the application: Session and SessionOptions
// (core/session.h), the header generated code includes for them.

#include <core/session.h>

#include <QSqlDatabase>
