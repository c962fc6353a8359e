#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QWidget>

#include <QPainterPath>

QT_BEGIN_NAMESPACE
class QCheckBox;
class QSpinBox;
class QGraphicsScene;
class QGraphicsView;
class QLabel;
class QSvgRenderer;
class QGraphicsRectItem;
QT_END_NAMESPACE

// Shows a laid-out relation diagram (SVG), one scene item per box and per
// line so that only what is in view is painted (a drawing of 1,000 tables
// takes seconds to paint whole), zoomable with the buttons or
// Ctrl and the mouse wheel; a marked table shows its notes as tooltip, a
// suggested relation its evidence. Its bar also chooses between the ticked
// tables and the neighbourhood of chosen ones.
class DiagramView : public QWidget
{
    Q_OBJECT

public:
    explicit DiagramView(QWidget *parent = nullptr);

    // `notes` are the tooltips by the id of the table's element; `edgeNotes`
    // those of edges, which show where the mouse is on the line or its
    // label.
    void setDiagram(const QByteArray &svg, const QHash<QString, QString> &notes, const QString &status,
                    const QHash<QString, QString> &edgeNotes = {});
    // No diagram; the text says why.
    void setMessage(const QString &text);
    void setStatus(const QString &text);

    const QByteArray &svg() const { return m_svg; }
    bool hasDiagram() const { return !m_svg.isEmpty(); }
    // The diagram as an image at `scale` times its size; null without one.
    QImage image(qreal scale = 1.0) const;

    // The notes of the marked table or of the edge at `position` of the
    // view's viewport; empty when there is none.
    QString noteAt(const QPoint &position) const;
    // Where the element of that id is drawn in the viewport; empty when it
    // is not.
    QRect elementRect(const QString &id) const;
    // Which of the elements `ids` is at `position`, the smallest first;
    // empty when none.
    QString elementAt(const QPoint &position, const QList<QString> &ids) const;
    // Which edge with a note passes within a few pixels of `position`.
    QString edgeAt(const QPoint &position) const;
    // Where the point is in the element's box, from 0 (top) to 1 (bottom).
    qreal heightIn(const QString &id, const QPoint &position) const;

    // Whether the neighbourhood of chosen tables is asked for, and how many
    // links out.
    bool neighbourhoodShown() const;
    void setNeighbourhoodShown(bool shown);
    int distance() const;
    void setDistance(int links);

    void zoomBy(qreal factor);
    void fitToView();

signals:
    void neighbourhoodChanged();
    // A right click at `position` of the viewport.
    void menuRequested(const QPoint &position, const QPoint &global);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QGraphicsView *m_view;
    QGraphicsScene *m_scene;
    // The drawing's frame, its default size: the boxes and lines are its
    // children.
    QGraphicsRectItem *m_item = nullptr;
    QSvgRenderer *m_renderer;
    QLabel *m_status;
    QByteArray m_svg;
    QHash<QString, QString> m_notes;
    QHash<QString, QString> m_edgeNotes;
    // The noted edges' lines and labels in the drawing's coordinates.
    struct EdgeShape
    {
        QPainterPath line;
        QPainterPath label;
    };
    QHash<QString, EdgeShape> m_edgeShapes;
    QCheckBox *m_neighbourhood;
    QSpinBox *m_distance;
};
