#pragma once

#include "codemodel/relationdiagram.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class Generator;

// Lays out a graph given in DOT with Graphviz's "dot" layout (the library,
// so that no program needs to be on the PATH) and renders it as SVG. Returns
// an empty array and sets `error` when Graphviz cannot read or lay out the
// graph, or when its layout or SVG plugin is missing.
QByteArray layoutAsSvg(const QString &dot, QString *error);

// Graphviz's layout time grows much faster than the graph: some 300 boxes
// take a second, 500 several minutes. Larger diagrams are not laid out.
constexpr int maxLaidOutTables = 300;
// Why a diagram of `tables` boxes is not laid out; empty when it is small
// enough.
QString tooLargeToLayOut(int tables);

// The relation diagram of the shown tables, without the linked tables that
// are not shown when only they make it too large to lay out (then
// `withoutLinked` is set).
RelationDiagram drawableDiagram(const Generator &generator, const QStringList &shown, bool withEntities,
                                bool *withoutLinked);
