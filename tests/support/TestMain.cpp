#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // gtest may run us during discovery without the ctest environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Runs record into the user's default results database: each test
    // program (and the programs it starts) gets a private data folder.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    QApplication app(argc, argv);
    QApplication::setApplicationName("Qel");
    Q_INIT_RESOURCE(qel);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
