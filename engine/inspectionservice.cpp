#include "engine/inspectionservice.h"

#include "engine/inspectionworker.h"

#include <QMetaObject>

namespace {

int g_services = 0;

} // namespace

InspectionService::InspectionService(QObject *parent)
    : QObject(parent)
    , m_worker(new InspectionWorker(QStringLiteral("inspection-%1").arg(++g_services)))
{
    m_thread.setObjectName(QStringLiteral("inspection"));
    m_worker->moveToThread(&m_thread);
    // The worker closes its connections on its own thread, as its last act.
    connect(&m_thread, &QThread::finished, m_worker, [worker = m_worker] { delete worker; }, Qt::DirectConnection);
    m_thread.start();
}

InspectionService::~InspectionService()
{
    // Requests not yet begun are dropped; one under way ends first.
    m_latestDiagram = m_latestPreview = m_latestComparison = -1;
    m_thread.quit();
    m_thread.wait();
}

void InspectionService::setConnection(const ConnectionSettings &settings, GenerationRun::CatalogReader reader)
{
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, settings, reader] {
        worker->setConnection(settings, reader);
    });
}

void InspectionService::setCatalogReader(GenerationRun::CatalogReader reader)
{
    QMetaObject::invokeMethod(m_worker, [worker = m_worker, reader] {
        worker->setCatalogReader(reader);
        worker->reload();
    });
}

void InspectionService::reload()
{
    QMetaObject::invokeMethod(m_worker, [worker = m_worker] { worker->reload(); });
}

template<typename Result, typename Job>
void InspectionService::post(std::atomic<int> &latest, Job job, std::function<void(const Result &)> done)
{
    const int request = ++latest;
    if (m_pending++ == 0)
        emit busyChanged(true);
    QMetaObject::invokeMethod(m_worker, [this, &latest, request, job = std::move(job), done = std::move(done)] {
        // A newer request of the same kind makes this one pointless.
        const bool wanted = latest.load() == request;
        Result result;
        if (wanted)
            result = job(m_worker);
        QMetaObject::invokeMethod(this, [this, &latest, request, wanted, result, done] {
            if (wanted && latest.load() == request)
                done(result);
            if (--m_pending == 0)
                emit busyChanged(false);
        });
    });
}

void InspectionService::requestDiagram(const QStringList &shown, bool withEntities,
                                       std::function<void(const DiagramResult &)> done)
{
    post<DiagramResult>(m_latestDiagram, [shown, withEntities](InspectionWorker *worker) {
        return worker->diagram(shown, withEntities);
    }, std::move(done));
}

void InspectionService::requestPreview(const QString &table, const GenerationRun::Switches &switches,
                                       std::function<void(const PreviewResult &)> done)
{
    post<PreviewResult>(m_latestPreview, [table, switches](InspectionWorker *worker) {
        return worker->preview(table, switches);
    }, std::move(done));
}

void InspectionService::requestComparison(const QString &root, const QStringList &chosen,
                                          const GenerationRun::Switches &switches,
                                          std::function<void(const ComparisonResult &)> done)
{
    post<ComparisonResult>(m_latestComparison, [root, chosen, switches](InspectionWorker *worker) {
        return worker->compare(root, chosen, switches);
    }, std::move(done));
}
