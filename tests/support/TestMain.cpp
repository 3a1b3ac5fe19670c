// The main of every test executable: one application object for the whole
// run (widgets need it), the C numeric locale the playback engine insists on,
// and the recording host installed before any test runs.
#include "support/FakeHost.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <clocale>

namespace {
// Every test starts with a clean recording host.
class ResetFakeHost : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { clip::test::Fake().reset(); }
};
}  // namespace

int main(int argc, char** argv)
{
    // The platform layer then refuses the real power-off and the user's own
    // settings hive, whatever a test forgets to replace.
    qputenv("CLIPWRIGHT_TESTING", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // as the program does, for the preview's GPU path
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    clip::SetHost(&clip::test::Fake());
    ::testing::UnitTest::GetInstance()->listeners().Append(new ResetFakeHost);
    return RUN_ALL_TESTS();
}
