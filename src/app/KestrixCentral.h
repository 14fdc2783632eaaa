#pragma once

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace kestrix {

class Extender;
class LoadedForms;
class VWSLangSelect;
class VWSVarServer;
struct Platform;

// The operator window, built once from its design: the plug-in area with its scroll bar, the
// status label, the three command buttons and the two invisible HMI controls. It is the view of
// the operator session, which owns the window's state and does its work: the window reports when
// it becomes active and when its close box is used, and the session works its controls.
class KestrixCentral : public QWidget {
    Q_OBJECT
public:
    KestrixCentral(Platform& platform, LoadedForms& forms);
    ~KestrixCentral() override;

    // The design's controls that the session works.
    QWidget* PictureHaupt() const { return pictureHaupt_; }
    QLabel* StatusLabel() const { return statusLabel_; }
    Extender* ScrollBar() const;  // null when the scroll-bar control cannot be created
    QPushButton* cmdHide() const { return cmdHide_; }
    QPushButton* cmdEnd() const { return cmdEnd_; }
    QPushButton* cmdError() const { return cmdError_; }
    // The line between the command buttons that tells the operator that modules are stopped and
    // takes them to one; hidden while none is.
    QPushButton* cmdStopped() const { return cmdStopped_; }
    VWSLangSelect* VWLanguage() const { return vwLanguage_; }
    VWSVarServer* SpracheGeandert() const { return spracheGeandert_; }

    // The "Log File" button turns red at the first fault line and stays red.
    void showLogButtonRed();

Q_SIGNALS:
    // The window has become the program's active window: its activation handler is due.
    void activated();
    // The operator has used the window's close box.
    void closeRequested();

protected:
    bool event(QEvent* event) override;
    // A turn of the wheel over the modules that none of them took scrolls them as the scroll bar
    // does: the bar gets it.
    void wheelEvent(QWheelEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildDesign();
    void placeInTwips(QWidget* control, double left, double top, double width, double height);
    void runActivation();
    void reportFirstPaint();

    Platform& platform_;
    LoadedForms& forms_;

    QWidget* pictureRahmen_ = nullptr;
    QWidget* pictureHaupt_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QPointer<Extender> scrollBar_;  // empty when the scroll-bar control cannot be created
    QPushButton* cmdHide_ = nullptr;
    QPushButton* cmdEnd_ = nullptr;
    QPushButton* cmdError_ = nullptr;
    QPushButton* cmdStopped_ = nullptr;
    VWSLangSelect* vwLanguage_ = nullptr;
    VWSVarServer* spracheGeandert_ = nullptr;

    // How long the first showing waits for the window manager's activation before it activates
    // the window itself.
    static constexpr int FirstActivationFallbackMs = 1000;
    QTimer firstActivationDue_;
    bool firstActivationDone_ = false;
    bool firstPaintReported_ = false;
};

}  // namespace kestrix
