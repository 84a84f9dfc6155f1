// The dialog's tests need one application object for the whole run; they draw on
// Qt's offscreen platform unless another is chosen, and never need a screen.
#include <gtest/gtest.h>

#include <QApplication>

namespace {

QtMessageHandler g_Standard = nullptr;

// The offscreen platform says on every window that it cannot pass size hints on.
void QuietSizeHints(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains("propagateSizeHints") || g_Standard == nullptr) return;
    g_Standard(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    g_Standard = qInstallMessageHandler(QuietSizeHints);
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
