#include "engine/graphvizlayout.h"

#include <QMutex>

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

namespace {

// Graphviz keeps global state (its error handler, the graph reader's); one
// layout at a time, whichever thread asks.
QMutex graphvizMutex;
QString graphvizMessages;

int collectMessage(char *message)
{
    graphvizMessages += QString::fromUtf8(message);
    return 0;
}

QString messages()
{
    QString text = graphvizMessages.trimmed();
    text.replace(QLatin1Char('\n'), QLatin1String("; "));
    return text;
}

} // namespace

QByteArray layoutAsSvg(const QString &dot, QString *error, const QString &layout)
{
    const QMutexLocker lock(&graphvizMutex);
    graphvizMessages.clear();
    const agusererrf previousHandler = agseterrf(collectMessage);
    const agerrlevel_t previousLevel = agseterr(AGERR);
    const auto fail = [&](const QString &what) {
        agseterrf(previousHandler);
        agseterr(previousLevel);
        if (error) {
            const QString detail = messages();
            *error = detail.isEmpty() ? what : QStringLiteral("%1 (%2)").arg(what, detail);
        }
        return QByteArray();
    };

    GVC_t *context = gvContext();
    if (!context)
        return fail(QStringLiteral("Graphviz could not be started"));
    const QByteArray text = dot.toUtf8();
    Agraph_t *graph = agmemread(text.constData());
    if (!graph) {
        gvFreeContext(context);
        return fail(QStringLiteral("Graphviz could not read the diagram"));
    }
    if (layout != QLatin1String("dot")) {
        // Boxes kept apart and straight lines: drawing every line round
        // the boxes would take longer than placing them.
        const auto set = [graph](const char *name, const char *value) {
            agattr(graph, AGRAPH, const_cast<char *>(name), const_cast<char *>(value));
        };
        set("overlap", "prism");
        set("overlap_scaling", "-4");
        set("splines", "false");
        set("sep", "+12");
        set("K", "1.5");
    }
    QByteArray svg;
    QString failure;
    if (gvLayout(context, graph, layout.toUtf8().constData()) != 0) {
        failure = QStringLiteral("Graphviz could not lay out the diagram; is its %1 layout plugin installed "
                                 "(libgvc6)?").arg(layout);
    } else {
        char *data = nullptr;
        unsigned int length = 0;
        if (gvRenderData(context, graph, "svg", &data, &length) != 0 || !data)
            failure = QStringLiteral("Graphviz could not render the diagram as SVG; is its core plugin installed "
                                     "(libgvc6)?");
        else
            svg = QByteArray(data, int(length));
        gvFreeRenderData(data);
        gvFreeLayout(context, graph);
    }
    agclose(graph);
    gvFreeContext(context);
    // An error Graphviz recovers from (a label it cannot read, drawn as
    // plain text instead) still leaves a wrong drawing.
    if (failure.isEmpty() && !messages().isEmpty())
        failure = QStringLiteral("Graphviz reported an error");
    if (!failure.isEmpty())
        return fail(failure);
    agseterrf(previousHandler);
    agseterr(previousLevel);
    return svg;
}

QString layoutFor(int tables)
{
    return tables <= rankedLayoutLimit ? QStringLiteral("dot") : QStringLiteral("sfdp");
}
