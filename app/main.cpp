#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Flowtally"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Flowtally"));
    window.show();
    return QApplication::exec();
}
