#include "generatortestsupport.h"

using namespace GeneratorTest;

// The editor classes; the cases are listed in generatortestsupport.h.
class tst_EditorGen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(TestServer::settings().valid, "the test server is not running"); }
    void wholeFiles_data() { addGoldenRows(Kind::Editor); }
    void wholeFiles() { compareWithGolden(Kind::Editor); }
    void writtenFiles_data() { addFileRows(Kind::Editor); }
    void writtenFiles() { checkWrittenFiles(Kind::Editor); }
};

QTEST_GUILESS_MAIN(tst_EditorGen)
#include "tst_editorgen.moc"
