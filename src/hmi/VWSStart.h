#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

namespace kestrix {

class HmiRuntime;

// The runtime start control on the start window (VWSStart1): it fills the window with the splash
// picture and starts the HMI runtime by itself. It queues the start in its constructor, so the
// window's load handler has run and its event handlers are connected before the start result can
// arrive.
//
// Its own events, in this order: StartResult (first), RuntimeEnded (second), StatusText (third,
// a line for the operator that the program does not use). Dispatch id 142 is the stop request.
class VWSStart : public QWidget {
    Q_OBJECT
    Q_CLASSINFO("DispId 142", "StopRuntime")
    Q_PROPERTY(QString Text READ Text WRITE setText)

public:
    // The runtime must outlive the control.
    explicit VWSStart(HmiRuntime& runtime, QWidget* parent = nullptr);

    QString Text() const { return text_; }
    void setText(const QString& text) { text_ = text; }

    const QPixmap& splashPicture() const { return splash_; }

    // Asks the runtime to stop; RuntimeEnded follows when it has.
    Q_INVOKABLE void StopRuntime();

Q_SIGNALS:
    void StartResult(bool started);
    void RuntimeEnded();
    void StatusText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    HmiRuntime& runtime_;
    QPixmap splash_;
    QString text_;
};

}  // namespace kestrix
