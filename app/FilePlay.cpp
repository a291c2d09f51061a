// Program entry: the application object and the player window.
#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    // Embedding renderers and fixed screen placement need X11 (XWayland on Wayland).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QWidget playerWindow;
    playerWindow.setWindowTitle("Vexlo Player");
    playerWindow.setGeometry(100, 100, 620, 400);
    playerWindow.show();
    return application.exec();
}
