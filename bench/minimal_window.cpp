// The floor of the start-up benchmark: the smallest Qt Widgets program that shows a window,
// announcing its first paint on standard error as the shell does.

#include <QApplication>
#include <QPaintEvent>
#include <QWidget>
#include <cstdio>

namespace {

class MinimalWindow : public QWidget {
protected:
    void paintEvent(QPaintEvent* event) override {
        if (!painted_) {
            std::fputs("minimal: first paint\n", stderr);
            std::fflush(stderr);
            painted_ = true;
        }
        QWidget::paintEvent(event);
    }

private:
    bool painted_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    MinimalWindow window;
    window.setWindowTitle(QStringLiteral("Minimal"));
    window.resize(800, 600);
    window.show();
    return QApplication::exec();
}
