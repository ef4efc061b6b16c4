// Window tests run headless with one QApplication for the whole program.
#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    QApplication::setApplicationName("Katalox");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
