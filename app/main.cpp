#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Velmora"));
    QApplication::setApplicationName(QStringLiteral("Quadrivo"));
    QLabel window(QStringLiteral("Quadrivo"));
    window.resize(640, 400);
    window.show();
    return app.exec();
}
