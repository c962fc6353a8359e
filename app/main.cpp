#include "app/tablesmith.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tablesmith"));
    Tablesmith window;
    window.show();
    return app.exec();
}
