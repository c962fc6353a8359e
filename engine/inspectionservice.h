#pragma once

#include "engine/generationrun.h"
#include "connection/mysqlconnection.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>

class InspectionWorker;

// One file that Generate would write, generated in memory.
struct PreviewFile
{
    QString path; // below the output folder: "code/C++/dao/hubdao.h"
    QString text;
};

struct DiagramResult
{
    QByteArray svg;
    QString dot;
    // Tooltips of the marked tables, by node id.
    QHash<QString, QString> notes;
    int tableCount = 0;
    int relationCount = 0;
    // The linked tables that are not ticked were left out: with them the
    // diagram would be too large.
    bool withoutLinked = false;
    QString error;
};

struct PreviewResult
{
    QString table;
    QList<PreviewFile> files;
    QString error;
};

// What the command line's --check finds for the same tree.
struct ComparisonResult
{
    QString root;
    QStringList differences; // "new: code/...", "changed: ...", "stale: ..."
    QMap<QString, QString> generated; // by path below the root
    QString closingLine;
    QStringList errors;
    bool completed = false;
};

// Looks at the schema without writing: the relation diagram, the files of
// one table and the comparison with the output folder. The work runs on a
// thread of its own with its own connections, so that a large schema does
// not freeze the window; answers come back on the caller's thread, and only
// the latest request of each kind is answered.
class InspectionService : public QObject
{
    Q_OBJECT

public:
    explicit InspectionService(QObject *parent = nullptr);
    ~InspectionService() override;

    // The server and schema to look at; drops what was read before.
    void setConnection(const ConnectionSettings &settings, GenerationRun::CatalogReader reader);
    void setCatalogReader(GenerationRun::CatalogReader reader);
    // The schema may have changed: read it again at the next request.
    void reload();

    void requestDiagram(const QStringList &shown, bool withEntities, std::function<void(const DiagramResult &)> done);
    void requestPreview(const QString &table, const GenerationRun::Switches &switches,
                        std::function<void(const PreviewResult &)> done);
    void requestComparison(const QString &root, const QStringList &chosen, const GenerationRun::Switches &switches,
                           std::function<void(const ComparisonResult &)> done);

    // Whether a request is being worked on or waiting.
    bool isBusy() const { return m_pending.load() > 0; }

signals:
    void busyChanged(bool busy);

private:
    template<typename Result, typename Job>
    void post(std::atomic<int> &latest, Job job, std::function<void(const Result &)> done);

    QThread m_thread;
    InspectionWorker *m_worker;
    std::atomic<int> m_latestDiagram{0};
    std::atomic<int> m_latestPreview{0};
    std::atomic<int> m_latestComparison{0};
    std::atomic<int> m_pending{0};
};
