#pragma once

#include <QByteArray>
#include <QString>

// Lays out a graph given in DOT with Graphviz's "dot" layout (the library,
// so that no program needs to be on the PATH) and renders it as SVG. Returns
// an empty array and sets `error` when Graphviz cannot read or lay out the
// graph, or when its layout or SVG plugin is missing.
QByteArray layoutAsSvg(const QString &dot, QString *error);
