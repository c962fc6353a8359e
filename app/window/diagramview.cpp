#include "app/window/diagramview.h"

#include <QGraphicsScene>
#include <QGraphicsSvgItem>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>

DiagramView::DiagramView(QWidget *parent)
    : QWidget(parent)
    , m_view(new QGraphicsView(this))
    , m_scene(new QGraphicsScene(this))
    , m_renderer(new QSvgRenderer(this))
    , m_status(new QLabel(this))
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
    bar->addWidget(m_status, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(bar);
    layout->addWidget(m_view, 1);
    setMessage(tr("Connect and tick tables to see how they are linked."));
}

void DiagramView::setDiagram(const QByteArray &svg, const QHash<QString, QString> &notes, const QString &status)
{
    m_scene->clear();
    m_item = nullptr;
    m_svg = svg;
    m_notes = notes;
    m_renderer->load(svg);
    if (!m_renderer->isValid()) {
        m_svg.clear();
        setMessage(tr("The diagram could not be shown."));
        return;
    }
    m_item = new QGraphicsSvgItem;
    m_item->setSharedRenderer(m_renderer);
    m_scene->addItem(m_item);
    m_scene->setSceneRect(m_item->boundingRect());
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
    return QString();
}
