#pragma once

#include <QByteArray>
#include <QString>

// Lays out a graph given in DOT with one of Graphviz's layouts (the library,
// so that no program needs to be on the PATH) and renders it as SVG. Returns
// an empty array and sets `error` when Graphviz cannot read or lay out the
// graph, or when its layout or SVG plugin is missing.
QByteArray layoutAsSvg(const QString &dot, QString *error, const QString &layout = QStringLiteral("dot"));

// "dot" ranks the links from left to right, but its time grows much faster
// than the graph: on the benchmark's schemas 100 tables take 0.4 s, 150 7 s,
// 200 23 s, 300 more than two minutes. Up to this many boxes it is used;
// beyond, "sfdp", a force-directed layout made for large graphs, places the
// boxes apart (1.6 s for 1,000).
constexpr int rankedLayoutLimit = 100;
// The layout for a diagram of `tables` boxes.
QString layoutFor(int tables);
