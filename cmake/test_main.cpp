// Entry point of every test executable: a QApplication (offscreen under CTest)
// so that widget and event-loop code can run, then GoogleTest.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
