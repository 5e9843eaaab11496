// The editor tests need a QApplication; without a display they use the offscreen platform. The
// settings go to a folder of their own, emptied before every test, so no test sees another's
// and none touches the user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "EditorSettings.h"

namespace {

class FreshSettings : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { korvale::EditorSettings().clear(); }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshSettings);
    return RUN_ALL_TESTS();
}
