#include "app/window/diagramview.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSvgItem>
#include <QStyleOptionGraphicsItem>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPainterPathStroker>
#include <QRegularExpression>
#include <QSpinBox>
#include <QSvgRenderer>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QXmlStreamReader>

#include <cmath>

namespace {

// An edge's line and label in the coordinates of its element, read from
// Graphviz's SVG: a path of moves, lines and cubic curves, and a label whose
// width its text tells.
struct EdgeLook
{
    QPainterPath line;
    QPainterPath label;
    QColor colour;
};

QHash<QString, EdgeLook> edgeShapes(const QByteArray &svg)
{
    static const QRegularExpression token(QStringLiteral("[MCLmcl]|-?(?:\\d+\\.?\\d*|\\.\\d+)(?:e-?\\d+)?"));
    QHash<QString, EdgeLook> shapes;
    QXmlStreamReader reader(svg);
    QString current;
    int depth = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const QString id = reader.attributes().value(QLatin1String("id")).toString();
            if (current.isEmpty() && reader.name() == QLatin1String("g")
                && reader.attributes().value(QLatin1String("class")).startsWith(QLatin1String("edge"))) {
                current = id;
                depth = 0;
            } else if (!current.isEmpty() && reader.name() == QLatin1String("g")) {
                ++depth;
            } else if (!current.isEmpty() && reader.name() == QLatin1String("path")) {
                QPainterPath &path = shapes[current].line;
                shapes[current].colour = QColor(reader.attributes().value(QLatin1String("stroke")).toString());
                QChar command;
                QList<qreal> numbers;
                const auto flush = [&] {
                    if (command == QLatin1Char('M') && numbers.size() >= 2)
                        path.moveTo(numbers[0], numbers[1]);
                    for (qsizetype i = command == QLatin1Char('M') ? 2 : 0; command == QLatin1Char('L') || command == QLatin1Char('M');) {
                        if (i + 1 >= numbers.size())
                            break;
                        path.lineTo(numbers[i], numbers[i + 1]);
                        i += 2;
                    }
                    for (qsizetype i = 0; command == QLatin1Char('C') && i + 5 < numbers.size(); i += 6)
                        path.cubicTo(numbers[i], numbers[i + 1], numbers[i + 2], numbers[i + 3], numbers[i + 4], numbers[i + 5]);
                    numbers.clear();
                };
                auto tokens = token.globalMatch(reader.attributes().value(QLatin1String("d")).toString());
                while (tokens.hasNext()) {
                    const QString text = tokens.next().captured();
                    if (text.at(0).isLetter()) {
                        flush();
                        command = text.at(0).toUpper();
                    } else {
                        numbers.append(text.toDouble());
                    }
                }
                flush();
            } else if (!current.isEmpty() && reader.name() == QLatin1String("text")) {
                const qreal x = reader.attributes().value(QLatin1String("x")).toDouble();
                const qreal y = reader.attributes().value(QLatin1String("y")).toDouble();
                const qreal size = reader.attributes().value(QLatin1String("font-size")).toDouble();
                const qreal width = reader.readElementText().size() * qMax(size, 6.0) * 0.55;
                shapes[current].label.addRect(QRectF(x - width / 2, y - size, width, size * 1.3));
            }
        } else if (reader.isEndElement() && !current.isEmpty() && reader.name() == QLatin1String("g")) {
            if (depth-- == 0)
                current.clear();
        }
    }
    return shapes;
}

// One box or line of the drawing. Seen from afar a box is only its frame:
// its text would take most of the time and show nothing.
class ElementItem : public QGraphicsSvgItem
{
public:
    // A line comes with its path and colour, in the item's coordinates.
    ElementItem(QSvgRenderer *renderer, const QString &id, bool box, const QPainterPath &line = {},
                const QColor &colour = {})
        : m_box(box)
        , m_line(line)
        , m_colour(colour)
    {
        setSharedRenderer(renderer);
        setElementId(id);
        setCacheMode(QGraphicsItem::DeviceCoordinateCache);
    }

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override
    {
        if (option->levelOfDetailFromTransform(painter->worldTransform()) < 0.3) {
            if (m_box) {
                painter->setPen(QPen(QColor(0x5b, 0x6b, 0x7b), 0));
                painter->setBrush(QColor(0xd8, 0xe3, 0xee));
                painter->drawRect(boundingRect());
            } else {
                painter->setPen(QPen(m_colour.isValid() ? m_colour : QColor(0x4a, 0x67, 0x85), 0));
                painter->setBrush(Qt::NoBrush);
                painter->drawPath(m_line);
            }
            return;
        }
        QGraphicsSvgItem::paint(painter, option, widget);
    }

private:
    bool m_box;
    QPainterPath m_line;
    QColor m_colour;
};

// The ids of the drawing's boxes and lines, each with whether it is a box.
QList<std::pair<QString, bool>> elements(const QByteArray &svg)
{
    static const QRegularExpression group(QStringLiteral("<g id=\"([^\"]+)\" class=\"(node|edge)\\b"));
    QList<std::pair<QString, bool>> found;
    for (auto match = group.globalMatch(QString::fromUtf8(svg)); match.hasNext();) {
        const QRegularExpressionMatch m = match.next();
        found.append({m.captured(1), m.captured(2) == QLatin1String("node")});
    }
    return found;
}

} // namespace

DiagramView::DiagramView(QWidget *parent)
    : QWidget(parent)
    , m_view(new QGraphicsView(this))
    , m_scene(new QGraphicsScene(this))
    , m_renderer(new QSvgRenderer(this))
    , m_status(new QLabel(this))
    , m_neighbourhood(new QCheckBox(tr("Neighbourhood"), this))
    , m_distance(new QSpinBox(this))
{
    m_view->setObjectName(QStringLiteral("diagramGraphics"));
    m_view->setScene(m_scene);
    m_view->setDragMode(QGraphicsView::ScrollHandDrag);
    m_view->setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    m_view->setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    m_view->viewport()->installEventFilter(this);
    m_status->setObjectName(QStringLiteral("diagramStatus"));
    m_status->setWordWrap(true);

    auto *bar = new QHBoxLayout;
    const auto button = [this, bar](const char *name, const QString &text, const QString &tip, auto slot) {
        auto *tool = new QToolButton(this);
        tool->setObjectName(QLatin1String(name));
        tool->setText(text);
        tool->setToolTip(tip);
        connect(tool, &QToolButton::clicked, this, slot);
        bar->addWidget(tool);
    };
    button("btZoomOut", tr("\u2212"), tr("Zoom out (Ctrl+wheel)"), [this] { zoomBy(1 / 1.25); });
    button("btZoomIn", tr("+"), tr("Zoom in (Ctrl+wheel)"), [this] { zoomBy(1.25); });
    button("btZoomFit", tr("Fit"), tr("Show the whole diagram"), [this] { fitToView(); });
    m_neighbourhood->setToolTip(tr("Draw the tables selected in the list and those within the number of links "
                                   "beside, ticked or not, instead of the ticked tables"));
    m_distance->setRange(1, 9);
    m_distance->setSuffix(tr(" links"));
    m_distance->setToolTip(m_neighbourhood->toolTip());
    connect(m_neighbourhood, &QCheckBox::toggled, this, &DiagramView::neighbourhoodChanged);
    connect(m_distance, &QSpinBox::valueChanged, this, [this] {
        if (m_neighbourhood->isChecked())
            emit neighbourhoodChanged();
    });
    bar->addWidget(m_status, 1);
    // A row of their own: the bar's is as wide as the window lets it be.
    auto *around = new QHBoxLayout;
    around->addWidget(m_neighbourhood);
    around->addWidget(m_distance);
    around->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(bar);
    layout->addLayout(around);
    layout->addWidget(m_view, 1);
    setMessage(tr("Connect and tick tables to see how they are linked."));
}

void DiagramView::setDiagram(const QByteArray &svg, const QHash<QString, QString> &notes, const QString &status,
                             const QHash<QString, QString> &edgeNotes)
{
    m_scene->clear();
    m_item = nullptr;
    m_svg = svg;
    m_notes = notes;
    m_edgeNotes = edgeNotes;
    m_edgeShapes.clear();
    const QHash<QString, EdgeLook> shapes = edgeShapes(svg);
    for (auto note = edgeNotes.cbegin(); note != edgeNotes.cend(); ++note)
        m_edgeShapes.insert(note.key(), {shapes.value(note.key()).line, shapes.value(note.key()).label});
    m_renderer->load(svg);
    if (!m_renderer->isValid()) {
        m_svg.clear();
        setMessage(tr("The diagram could not be shown."));
        return;
    }
    m_item = new QGraphicsRectItem(QRectF(QPointF(0, 0), m_renderer->defaultSize()));
    m_item->setPen(Qt::NoPen);
    m_item->setBrush(Qt::white);
    m_scene->addItem(m_item);
    // Each element where the whole drawing would put it: its parents'
    // transformation, then from the view box to the default size.
    const QRectF box = m_renderer->viewBoxF();
    const QSizeF size = m_renderer->defaultSize();
    const QTransform toItem = QTransform::fromTranslate(-box.x(), -box.y())
            * QTransform::fromScale(size.width() / box.width(), size.height() / box.height());
    for (const auto &[id, isBox] : elements(svg)) {
        if (!m_renderer->elementExists(id))
            continue;
        const QRectF bounds = m_renderer->boundsOnElement(id);
        const EdgeLook look = shapes.value(id);
        auto *item = new ElementItem(m_renderer, id, isBox, look.line.translated(-bounds.topLeft()), look.colour);
        item->setParentItem(m_item);
        item->setTransform(QTransform::fromTranslate(bounds.x(), bounds.y()) * m_renderer->transformForElement(id)
                           * toItem);
        // Lines under the boxes they join.
        item->setZValue(isBox ? 1 : 0);
    }
    m_scene->setSceneRect(m_item->rect());
    m_view->resetTransform();
    // Large diagrams start fitted to the pane, small ones at their size.
    const QRectF bounds = m_item->boundingRect();
    if (bounds.width() > m_view->viewport()->width() || bounds.height() > m_view->viewport()->height())
        fitToView();
    setStatus(status);
}

void DiagramView::setMessage(const QString &text)
{
    m_scene->clear();
    m_item = nullptr;
    m_svg.clear();
    m_notes.clear();
    m_edgeNotes.clear();
    m_edgeShapes.clear();
    m_scene->setSceneRect(QRectF());
    setStatus(text);
}

void DiagramView::setStatus(const QString &text)
{
    m_status->setText(text);
}

QImage DiagramView::image(qreal scale) const
{
    if (!m_item)
        return QImage();
    // A large diagram at twice its size would take gigabytes: at most some
    // 64 million pixels, and no side beyond what image files take.
    const QSizeF natural = m_renderer->defaultSize();
    const qreal area = natural.width() * natural.height();
    if (area > 0)
        scale = qMin(scale, std::sqrt(64e6 / area));
    scale = qMin(scale, 16000.0 / qMax(natural.width(), natural.height()));
    const QSize size = (natural * scale).toSize().expandedTo(QSize(1, 1));
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    m_renderer->render(&painter);
    return image;
}

void DiagramView::zoomBy(qreal factor)
{
    if (m_item)
        m_view->scale(factor, factor);
}

void DiagramView::fitToView()
{
    if (!m_item)
        return;
    m_view->fitInView(m_item, Qt::KeepAspectRatio);
    // Never larger than the diagram itself.
    if (m_view->transform().m11() > 1.0)
        m_view->resetTransform();
}

bool DiagramView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::Wheel) {
        auto *wheel = static_cast<QWheelEvent *>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            zoomBy(wheel->angleDelta().y() > 0 ? 1.15 : 1 / 1.15);
            return true;
        }
    }
    if (watched == m_view->viewport() && event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString note = noteAt(help->pos());
        if (note.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), note, m_view);
        return true;
    }
    if (watched == m_view->viewport() && event->type() == QEvent::ContextMenu) {
        auto *menu = static_cast<QContextMenuEvent *>(event);
        emit menuRequested(menu->pos(), menu->globalPos());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QRect DiagramView::elementRect(const QString &id) const
{
    if (!m_item || !m_renderer->elementExists(id))
        return QRect();
    // The elements are measured in the units of the view box, the item in
    // the drawing's default size.
    const QRectF bounds = m_renderer->transformForElement(id).mapRect(m_renderer->boundsOnElement(id));
    const QRectF box = m_renderer->viewBoxF();
    const QSizeF size = m_renderer->defaultSize();
    const qreal sx = size.width() / box.width();
    const qreal sy = size.height() / box.height();
    const QRectF inItem((bounds.x() - box.x()) * sx, (bounds.y() - box.y()) * sy, bounds.width() * sx,
                        bounds.height() * sy);
    return m_view->mapFromScene(m_item->mapToScene(inItem)).boundingRect();
}

QString DiagramView::noteAt(const QPoint &position) const
{
    for (auto note = m_notes.cbegin(); note != m_notes.cend(); ++note) {
        if (elementRect(note.key()).contains(position))
            return note.value();
    }
    return m_edgeNotes.value(edgeAt(position));
}

QString DiagramView::elementAt(const QPoint &position, const QList<QString> &ids) const
{
    QString found;
    qreal area = 0;
    for (const QString &id : ids) {
        const QRect rect = elementRect(id);
        if (rect.contains(position) && (found.isEmpty() || qreal(rect.width()) * rect.height() < area)) {
            found = id;
            area = qreal(rect.width()) * rect.height();
        }
    }
    return found;
}

QString DiagramView::edgeAt(const QPoint &position) const
{
    if (!m_item || m_edgeShapes.isEmpty())
        return QString();
    // The point in the drawing's units, and a few pixels of it.
    const QRectF box = m_renderer->viewBoxF();
    const QSizeF size = m_renderer->defaultSize();
    const qreal sx = size.width() / box.width();
    const qreal sy = size.height() / box.height();
    const QPointF inItem = m_item->mapFromScene(m_view->mapToScene(position));
    const QPointF point(inItem.x() / sx + box.x(), inItem.y() / sy + box.y());
    const qreal scale = m_view->transform().m11() * sx;
    QPainterPathStroker stroker;
    stroker.setWidth(10 / qMax(scale, 0.01));
    for (auto shape = m_edgeShapes.cbegin(); shape != m_edgeShapes.cend(); ++shape) {
        const QTransform transform = m_renderer->transformForElement(shape.key());
        const QPainterPath line = transform.map(shape.value().line);
        if (transform.map(shape.value().label).contains(point)
            || (line.boundingRect().adjusted(-20, -20, 20, 20).contains(point) && stroker.createStroke(line).contains(point)))
            return shape.key();
    }
    return QString();
}

qreal DiagramView::heightIn(const QString &id, const QPoint &position) const
{
    const QRect rect = elementRect(id);
    return rect.height() > 0 ? qreal(position.y() - rect.top()) / rect.height() : 0;
}

bool DiagramView::neighbourhoodShown() const
{
    return m_neighbourhood->isChecked();
}

void DiagramView::setNeighbourhoodShown(bool shown)
{
    m_neighbourhood->setChecked(shown);
}

int DiagramView::distance() const
{
    return m_distance->value();
}

void DiagramView::setDistance(int links)
{
    m_distance->setValue(links);
}
