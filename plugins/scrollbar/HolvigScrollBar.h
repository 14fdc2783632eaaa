#pragma once

#include <kestrix/ScrollBarDispIds.h>
#include <QWidget>

class QScrollBar;

namespace kestrix {

// The operator window's scroll bar: a bar whose position runs from its minimum (1, the top) in
// steps of one pixel of the scrolled area. The host sets the range maximum and the page size in
// pixels; the bar can scroll until the last page is in view, that is to maximum - page size +
// minimum. Every change of the position is raised as NeuePos, whether the operator moved the bar
// or the host set its position (to show a module, say).
//
// The properties are the control's stored design settings, with their stored values as defaults:
// _extentx/_extenty (the size in HIMETRIC), richtung (0 vertical, 1 horizontal), rahmenstaerke
// (frame width in pixels), min, max, pageupdo (the page size) and the widget's own enabled flag.
class HolvigScrollBar : public QWidget {
    Q_OBJECT
    Q_CLASSINFO("DispId " QT_STRINGIFY(KESTRIX_SCROLLBAR_PAGESIZE_DISPID), "pageupdo")
    Q_CLASSINFO("DispId " QT_STRINGIFY(KESTRIX_SCROLLBAR_RANGEMAX_DISPID), "max")
    Q_CLASSINFO("DispId " QT_STRINGIFY(KESTRIX_SCROLLBAR_ENABLED_DISPID), "enabled")
    Q_PROPERTY(int _extentx READ extentX WRITE setExtentX)
    Q_PROPERTY(int _extenty READ extentY WRITE setExtentY)
    Q_PROPERTY(short richtung READ richtung WRITE setRichtung)
    Q_PROPERTY(short rahmenstaerke READ rahmenstaerke WRITE setRahmenstaerke)
    Q_PROPERTY(short min READ minimum WRITE setMinimum)
    Q_PROPERTY(short max READ maximum WRITE setMaximum)
    Q_PROPERTY(short pageupdo READ pageSize WRITE setPageSize)
    Q_PROPERTY(short position READ position WRITE setPosition)
public:
    explicit HolvigScrollBar(QWidget* parent = nullptr);

    int extentX() const { return extentX_; }
    int extentY() const { return extentY_; }
    short richtung() const { return richtung_; }
    short rahmenstaerke() const { return rahmenstaerke_; }
    short minimum() const { return minimum_; }
    short maximum() const { return maximum_; }
    short pageSize() const { return pageSize_; }
    short position() const { return position_; }

    void setExtentX(int himetric);
    void setExtentY(int himetric);
    void setRichtung(short richtung);
    void setRahmenstaerke(short pixels);
    void setMinimum(short minimum);
    void setMaximum(short maximum);
    void setPageSize(short pixels);
    // Moves the bar; a position beyond its range moves it to the range's end.
    void setPosition(short position);

Q_SIGNALS:
    // The bar has moved: the new position (1 at the top), the one before and the page size.
    void NeuePos(short position, short oldPosition, short pageSize);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void applyExtent();
    void applyRange();
    void onMoved(int newPosition);

    QScrollBar* bar_;
    int extentX_ = 1005;
    int extentY_ = 13917;
    short richtung_ = 0;
    short rahmenstaerke_ = 2;
    short minimum_ = 1;
    short maximum_ = 2;
    short pageSize_ = 2;
    short position_ = 1;
};

}  // namespace kestrix
