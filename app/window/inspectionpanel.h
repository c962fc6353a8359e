#pragma once

#include "engine/generationrun.h"
#include "engine/schemaviews.h"
#include "connection/mysqlconnection.h"
#include "project/projectfile.h"

#include <QMetaObject>
#include <QStringList>
#include <QTabWidget>
#include <QVariant>

#include <functional>

QT_BEGIN_NAMESPACE
class QBoxLayout;
class QListView;
class QMenu;
class QPlainTextEdit;
class QTimer;
QT_END_NAMESPACE

class CodePreview;
class CompareView;
class DiagramView;
class SchemaThread;
class TableModel;

// The window's right-hand pane: the log and, beside it, what the schema
// looks like before anything is written: the relations of the ticked tables
// (as the filter shows them), the files of the table clicked in the list,
// and the comparison with the output folder.
class InspectionPanel : public QTabWidget
{
    Q_OBJECT

public:
    // Takes the log's place in `layout` and shows it as the first tab.
    InspectionPanel(QPlainTextEdit *log, QBoxLayout *layout, TableModel *tables, QListView *list, QWidget *parent);

    void setSwitchesSource(std::function<GenerationRun::Switches()> source) { m_switches = std::move(source); }
    // Whether Generate writes the application scaffold too, which Compare
    // then expects.
    void setApplicationSource(std::function<bool()> source) { m_application = std::move(source); }
    void setOutputRootSource(std::function<QString()> source) { m_outputRoot = std::move(source); }
    // Takes a rule into the open project; `answer` gets its problems, none
    // when it was taken (the window's, which keeps the project).
    using RuleEditor = std::function<void(const RuleChange &change, std::function<void(const QStringList &)> answer)>;
    void setRuleEditor(RuleEditor editor) { m_ruleEditor = std::move(editor); }

    // The open project's rules, which the views apply as Generate does.
    void setRules(const SchemaRules &rules);
    // Reads the schema with `rules` and tells `done` what of them does not
    // fit; the views keep them (setRules() puts others back).
    void checkRules(const SchemaRules &rules, std::function<void(const QStringList &)> done);
    // The rules changed and were checked: the views show them.
    void rulesChanged();

    // After a successful Connect (the list shows the tables) or a failed one.
    void setConnected(const ConnectionSettings &settings, GenerationRun::CatalogReader reader);
    void setDisconnected();
    // A Connect to `host` has started: nothing of the schema shown so far
    // stays, nor comes in late.
    void setConnecting(const QString &host);
    void setCatalogReader(GenerationRun::CatalogReader reader);
    // After Generate: the schema is read again for the next look.
    void schemaMayHaveChanged();

    // Writes the diagram shown as SVG or PNG (by the extension); says in
    // the log what it did.
    bool exportDiagramTo(const QString &path);

    DiagramView *diagramView() const { return m_diagram; }
    CodePreview *codePreview() const { return m_preview; }
    CompareView *compareView() const { return m_compare; }
    // The views' own thread, with its own connections.
    SchemaThread *viewsThread() const { return m_views; }
    // The tables the diagram draws: ticked and shown by the filter.
    QStringList diagramTables() const;
    // The tables selected in the list: the middle of the neighbourhood.
    QStringList selectedTables() const;
    // The diagram shown last (empty before the first).
    const DiagramResult &lastDiagram() const { return m_lastDiagram; }
    // The Relations tab's menu for the point of its viewport: on a table,
    // Rename Class..., Add Relation..., Show Neighbourhood and the
    // suggestions of its relations; on a suggested relation, Accept
    // Suggestion. Null where nothing is; the caller owns it.
    QMenu *diagramMenu(const QPoint &position);
    void renameClass(const QString &table);
    void addRelation(const QString &table, const QString &column);
    void acceptSuggestion(const SuggestedRelation &suggestion);
    // The neighbourhood of `table` alone.
    void showNeighbourhood(const QString &table);

public slots:
    // The ticks or the filter changed.
    void tablesChanged();
    void switchesChanged();
    void exportDiagram();
    void compareWithOutputFolder();
    // Shows the files of `table` in the Preview tab, opening the tab first
    // if the log is shown and `show` is set.
    void previewTable(const QString &table, bool show);
    void showLog();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateCurrentView();
    void requestDiagram();
    void requestPreview();

    QPlainTextEdit *m_log;
    TableModel *m_tables;
    QListView *m_list;
    SchemaThread *m_views;
    DiagramView *m_diagram;
    CodePreview *m_preview;
    CompareView *m_compare;
    QTimer *m_diagramTimer;
    std::function<GenerationRun::Switches()> m_switches;
    std::function<bool()> m_application;
    std::function<QString()> m_outputRoot;
    RuleEditor m_ruleEditor;
    DiagramResult m_lastDiagram;
    QMetaObject::Connection m_currentConnection;
    QMetaObject::Connection m_selectionConnection;
    bool m_connected = false;
    bool m_diagramDirty = true;
    bool m_previewDirty = false;
    bool m_logAtEnd = true;
    // Export Diagram asked before the diagram was drawn: the file is asked
    // for once it is.
    bool m_exportWhenDrawn = false;
    // Counts the schemas shown: a result asked for under an older one is
    // dropped when it comes.
    int m_schemaEpoch = 0;
    // The check state of the row under the last mouse press in the list.
    QVariant m_pressedCheckState;
    QString m_previewTable;
};
