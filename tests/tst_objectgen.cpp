#include "generatortestsupport.h"

using namespace GeneratorTest;

// The entity classes; the cases are listed in generatortestsupport.h.
class tst_ObjectGen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(TestServer::settings().valid, "the test server is not running"); }
    void wholeFiles_data() { addGoldenRows(Kind::Object); }
    void wholeFiles() { compareWithGolden(Kind::Object); }
    void writtenFiles_data() { addFileRows(Kind::Object); }
    void writtenFiles() { checkWrittenFiles(Kind::Object); }
};

QTEST_GUILESS_MAIN(tst_ObjectGen)
#include "tst_objectgen.moc"
