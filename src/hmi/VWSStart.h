#pragma once

#include <QPixmap>
#include <QRgb>
#include <QString>
#include <QWidget>

namespace kestrix {

class HmiRuntime;

// The stop request's dispatch id. A macro, because moc reads the class info that declares it only
// as string literals; VWSStart::StopRequestDispId is the same number for callers.
#define KESTRIX_VWSSTART_STOP_DISPID 142

// The runtime start control on the start window (VWSStart1): it fills the window with the splash
// picture and starts the HMI runtime by itself. It queues the start in its constructor, so the
// window's load handler has run and its event handlers are connected before the start result can
// arrive.
//
// Under the picture's "HMI RUNTIME" it shows the runtime's status, a line and a light that follow
// what the runtime does: starting, running, start failed, stopping, stopped. The picture itself
// claims nothing.
//
// Its own events, in this order: StartResult (first), RuntimeEnded (second), StatusText (third,
// the status line as it changes; the program does not use it). Its dispatch id StopRequestDispId
// is the stop request.
class VWSStart : public QWidget {
    Q_OBJECT
    Q_CLASSINFO("DispId " QT_STRINGIFY(KESTRIX_VWSSTART_STOP_DISPID), "StopRuntime")
    Q_PROPERTY(QString Text READ Text WRITE setText)

public:
    static constexpr int StopRequestDispId = KESTRIX_VWSSTART_STOP_DISPID;

    // The runtime must outlive the control.
    explicit VWSStart(HmiRuntime& runtime, QWidget* parent = nullptr);

    QString Text() const { return text_; }
    void setText(const QString& text) { text_ = text; }

    const QPixmap& splashPicture() const { return splash_; }
    const QString& statusText() const { return statusText_; }

    // Asks the runtime to stop; RuntimeEnded follows when it has.
    Q_INVOKABLE void StopRuntime();

Q_SIGNALS:
    void StartResult(bool started);
    void RuntimeEnded();
    void StatusText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Status;
    void showStatus(const Status& status);

    HmiRuntime& runtime_;
    QPixmap splash_;
    QString text_;
    QString statusText_;
    QRgb statusLight_ = 0;
};

}  // namespace kestrix
