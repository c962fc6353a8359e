#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QWidget>

QT_BEGIN_NAMESPACE
class QGraphicsScene;
class QGraphicsView;
class QLabel;
class QSvgRenderer;
QT_END_NAMESPACE
class QGraphicsSvgItem;

// Shows a laid-out relation diagram (SVG), zoomable with the buttons or
// Ctrl and the mouse wheel; a marked table shows its notes as tooltip.
class DiagramView : public QWidget
{
    Q_OBJECT

public:
    explicit DiagramView(QWidget *parent = nullptr);

    // `notes` are the tooltips by the id of the table's element.
    void setDiagram(const QByteArray &svg, const QHash<QString, QString> &notes, const QString &status);
    // No diagram; the text says why.
    void setMessage(const QString &text);
    void setStatus(const QString &text);

    const QByteArray &svg() const { return m_svg; }
    bool hasDiagram() const { return !m_svg.isEmpty(); }
    // The diagram as an image at `scale` times its size; null without one.
    QImage image(qreal scale = 1.0) const;

    // The notes of the marked table at `position` of the view's viewport;
    // empty when there is none.
    QString noteAt(const QPoint &position) const;
    // Where the element of that id is drawn in the viewport; empty when it
    // is not.
    QRect elementRect(const QString &id) const;

    void zoomBy(qreal factor);
    void fitToView();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QGraphicsView *m_view;
    QGraphicsScene *m_scene;
    QGraphicsSvgItem *m_item = nullptr;
    QSvgRenderer *m_renderer;
    QLabel *m_status;
    QByteArray m_svg;
    QHash<QString, QString> m_notes;
};
