// The start-up benchmark's point of comparison: the smallest Qt Widgets
// program with a window of the main window's size. Like the program under
// the benchmark hook, it writes "shown" after its window's first paint and
// quits.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

class ShownWindow : public QWidget {
protected:
    bool event(QEvent* e) override
    {
        const bool result = QWidget::event(e);
        if (e->type() == QEvent::Paint && !m_done) {
            m_done = true;
            QTimer::singleShot(0, qApp, [] {
                std::fputs("shown\n", stdout);
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return result;
    }

private:
    bool m_done = false;
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ShownWindow window;
    window.resize(800, 600);
    window.show();
    return app.exec();
}
