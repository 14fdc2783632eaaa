#pragma once

#include <QWidget>
#include <cstdint>

namespace kestrix {

class HmiRuntime;

// LCID's dispatch id. A macro, because moc reads the class info that declares it only as string
// literals; VWSLangSelect::LcidDispId is the same number for callers.
#define KESTRIX_VWSLANGSELECT_LCID_DISPID 32

// An invisible control holding the HMI's language selection. Writing LCID (a Windows locale id
// such as 1031 or 1033; callers write it by its dispatch id) switches the runtime's language to it.
class VWSLangSelect : public QWidget {
    Q_OBJECT
    Q_CLASSINFO("DispId " QT_STRINGIFY(KESTRIX_VWSLANGSELECT_LCID_DISPID), "LCID")
    Q_PROPERTY(qint32 LCID READ LCID WRITE setLCID)

public:
    static constexpr int LcidDispId = KESTRIX_VWSLANGSELECT_LCID_DISPID;

    // The runtime must outlive the control.
    explicit VWSLangSelect(HmiRuntime& runtime, QWidget* parent = nullptr);

    qint32 LCID() const { return localeId_; }
    void setLCID(qint32 localeId);

private:
    HmiRuntime& runtime_;
    qint32 localeId_ = 0;
};

}  // namespace kestrix
