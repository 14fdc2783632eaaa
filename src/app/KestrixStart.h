#pragma once

#include <QPointer>
#include <QWidget>

namespace kestrix {

class KestrixCentral;
class LoadedForms;
class Service;
class VWSStart;
struct Platform;

// The start window: the program's first window. It places itself by "WithLineDisplay" and
// "Resolution" of Program.ini, and its runtime start control starts the HMI runtime behind the
// splash picture. On a successful start it opens the operator window and hides itself; the
// runtime ended event ends the program.
class KestrixStart : public QWidget {
    Q_OBJECT
public:
    // Design: client area 7800 × 4740 twips, no caption.
    static constexpr double DesignWidthTwips = 7800;
    static constexpr double DesignHeightTwips = 4740;

    KestrixStart(Platform& platform, LoadedForms& forms, Service& service);
    ~KestrixStart() override;

    void Form_Load();

    // The runtime start control on the window.
    VWSStart* VWSStart1 = nullptr;
    KestrixCentral* central() const;

public Q_SLOTS:
    void VWSStart1_StartResult(bool started);
    void VWSStart1_RuntimeEnded();

private:
    Platform& platform_;
    LoadedForms& forms_;
    Service& service_;
    QPointer<KestrixCentral> central_;
};

}  // namespace kestrix
