#pragma once

#include "engine/generationrun.h"
#include "engine/inspectionservice.h"
#include "engine/schemaloader.h"
#include "connection/mysqlconnection.h"

#include <QObject>
#include <QString>

#include <memory>

class Generator;

// The inspection's side of its thread: its own pair of connections and the
// code model of the whole schema, read once and kept until the connection or
// the schema changes. Lives and dies on the inspection thread.
class InspectionWorker : public QObject
{
    Q_OBJECT

public:
    // `id` keeps the connection names apart from those of other threads.
    explicit InspectionWorker(const QString &id);
    ~InspectionWorker() override;

    void setConnection(const ConnectionSettings &settings, GenerationRun::CatalogReader reader);
    void setCatalogReader(GenerationRun::CatalogReader reader) { m_reader = reader; }
    void reload();

    DiagramResult diagram(const QStringList &shown, bool withEntities);
    PreviewResult preview(const QString &table, const GenerationRun::Switches &switches);
    ComparisonResult compare(const QString &root, const QStringList &chosen, const GenerationRun::Switches &switches);

private:
    // Opens the connections when needed; the error when they do not open.
    QString connect();
    // Reads the schema and builds its code model when needed.
    QString loadModel();
    void dropConnections();

    QString m_schemaName;
    QString m_catalogName;
    ConnectionSettings m_settings;
    bool m_hasSettings = false;
    GenerationRun::CatalogReader m_reader = GenerationRun::CatalogReader::SchemaWide;
    std::unique_ptr<SchemaLoader> m_loader;
    // The loader's, once built.
    Generator *m_generator = nullptr;
    QString m_loadError;
};
