#include "generatortestsupport.h"

using namespace GeneratorTest;

// The table-model classes; the cases are listed in generatortestsupport.h.
class tst_ModelGen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(TestServer::settings().valid, "the test server is not running"); }
    void wholeFiles_data() { addGoldenRows(Kind::Model); }
    void wholeFiles() { compareWithGolden(Kind::Model); }
    void writtenFiles_data() { addFileRows(Kind::Model); }
    void writtenFiles() { checkWrittenFiles(Kind::Model); }
};

QTEST_GUILESS_MAIN(tst_ModelGen)
#include "tst_modelgen.moc"
