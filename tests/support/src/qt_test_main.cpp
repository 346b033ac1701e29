// main() of the Qt test programs: the one application, then the tests.
#include "tw/testing/application.hpp"

#include <QByteArray>
#include <QtGlobal>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Headless unless told otherwise (also when the build lists the tests).
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    ::testing::InitGoogleTest(&argc, argv);
    tw::test::EnsureApplication();
    return RUN_ALL_TESTS();
}
