#pragma once

#include <QWidget>
#include <cstdint>

namespace kestrix {

class HmiRuntime;

// An invisible control holding the HMI's language selection. Writing LCID (dispatch id 32, a
// Windows locale id such as 1031 or 1033) switches the runtime's language to it.
class VWSLangSelect : public QWidget {
    Q_OBJECT
    Q_CLASSINFO("DispId 32", "LCID")
    Q_PROPERTY(qint32 LCID READ LCID WRITE setLCID)

public:
    // The runtime must outlive the control.
    explicit VWSLangSelect(HmiRuntime& runtime, QWidget* parent = nullptr);

    qint32 LCID() const { return localeId_; }
    void setLCID(qint32 localeId);

private:
    HmiRuntime& runtime_;
    qint32 localeId_ = 0;
};

}  // namespace kestrix
