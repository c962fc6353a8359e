#pragma once

#include <QString>

struct RelationDiagram;

// Whether `path` names a diagram file the command line can write: one ending
// in .svg (laid out by Graphviz) or .dot (the graph as text).
bool isDiagramFileName(const QString &path);

// Whether a file can be created at `path`; tries it without leaving a file.
bool canWriteDiagramFile(const QString &path, QString *error);

// Writes the diagram as SVG or DOT by the file's extension, replacing the
// file only when the whole text is written.
bool writeDiagramFile(const QString &path, const RelationDiagram &diagram, QString *error);
