#include "app/tablesmith.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Tablesmith window;
    window.show();
    return app.exec();
}
