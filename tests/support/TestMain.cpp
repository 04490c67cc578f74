#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // gtest may run us during discovery without the ctest environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("Qel");
    Q_INIT_RESOURCE(qel);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
