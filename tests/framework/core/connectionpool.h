#pragma once

#include <core/session.h>

#include <QSqlDatabase>
