#include "cli/diagramfile.h"

#include "engine/graphvizlayout.h"
#include "codemodel/relationdiagram.h"

#include <QFileInfo>
#include <QSaveFile>

namespace {

bool isSvg(const QString &path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0;
}

} // namespace

bool isDiagramFileName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    return !QFileInfo(path).completeBaseName().isEmpty()
            && (isSvg(path) || suffix.compare(QLatin1String("dot"), Qt::CaseInsensitive) == 0);
}

bool canWriteDiagramFile(const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    file.cancelWriting();
    return true;
}

bool writeDiagramFile(const QString &path, const RelationDiagram &diagram, QString *error)
{
    QByteArray data = diagram.dot.toUtf8();
    if (isSvg(path)) {
        data = layoutAsSvg(diagram.dot, error, layoutFor(diagram.tableCount + diagram.fadedCount));
        if (data.isEmpty())
            return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
