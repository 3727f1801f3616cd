#include <gtest/gtest.h>

#include <QCoreApplication>

// Core tests run sockets and timers, so they need an application object.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
