#include <kestrix/ScrollBarDispIds.h>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "fault/Int16.h"
#include "host/Extender.h"
#include "host/PluginHost.h"
#include "log/FaultScope.h"

namespace kestrix {

// Stacks the modules in slot order with a one-pixel gap, sizes PictureHaupt to the stack and sets
// the scroll bar's range to the stack in pixels and its page to the visible part.
void PluginHost::PositioniereObjekte() {
    FaultScope p(log_, ModuleCalls::PlaceSource);
    const double pixelY = twips_.y;
    const int slotCount = slotCount_;
    for (int n = 1; n <= slotCount; ++n) {
        // A failed slot takes no room.
        if (p.test([&] { return slotAt(n).CreateFailed != 1; })) {
            p.step([&] { ModuleCalls::placeLeft(controlOf(n)); });
            p.step([&] { ModuleCalls::placeTop(controlOf(n), stackTop_); });
            p.step([&] { calls_.placeWidth(controlOf(n), pictureHaupt()); });
            p.step([&] { ModuleCalls::show(controlOf(n)); });
            p.step([&] {
                const double height = ModuleCalls::height(controlOf(n));
                stackTop_ = toInt32(stackTop_ + height + pixelY);
            });
        }
    }
    p.step([&] {
        const double contentHeight = std::max(0.0, roundHalfEven(stackTop_ - pixelY));
        pictureHaupt().resize(pictureHaupt().width(), twips_.toPixelsY(contentHeight));
    });
    int16_t rangeMax = 0;
    int16_t pageSize = 0;
    p.step([&] { rangeMax = checked16(static_cast<int64_t>(std::floor(stackTop_ / pixelY)) + 3); });
    p.step([&] {
        pageSize = checked16(static_cast<int64_t>(std::floor(scrollBar().Height() / pixelY)));
    });
    if (p.test([&] { return rangeMax < pageSize; })) {
        p.step([&] { pageSize = rangeMax; });
    }
    p.step([&] { scrollBar().letId(ScrollBarDispId::RangeMax, QVariant::fromValue(rangeMax)); });
    p.step([&] { scrollBar().letId(ScrollBarDispId::PageSize, QVariant::fromValue(pageSize)); });
    p.step([&] { scrollBar().letId(ScrollBarDispId::Enabled, true); });
}

void PluginHost::ScrollBar_NeuePos(int16_t position) {
    FaultScope p(log_, QStringLiteral("KX.ScrollBar_NeuePos"));
    p.step([&] { scroll_.position = sub16(position, 1); });
    p.step([&] { ScrollenAnzeigen(); });
}

// Applies the newest position. Positions that arrive while PictureHaupt is being moved only
// count a request; the running loop then makes one more move, to the newest position. The loop
// stops once the end has begun during its yield.
void PluginHost::ShowModule(int16_t n) {
    FaultScope p(log_, QStringLiteral("KX.ShowModule"));
    p.step([&] {
        const int16_t position = checked16(int64_t{twips_.toPixelsY(controlOf(n).Top())} + 1);
        scrollBar().let(QStringLiteral("position"), QVariant::fromValue(position));
    });
}

void PluginHost::ScrollenAnzeigen() {
    FaultScope p(log_, QStringLiteral("KX.ScrollenAnzeigen"));
    if (p.test([&] { return slotCount_ <= 0; })) {
        return;
    }
    p.step([&] { scroll_.requests = add16(scroll_.requests, 1); });
    if (p.test([&] { return scroll_.busy; })) {
        return;
    }
    p.step([&] { scroll_.busy = true; });
    while (scroll_.requests != scroll_.done && !terminated_) {
        p.step([&] { scroll_.done = scroll_.requests; });
        p.step([&] {
            const float top = 0.0f - static_cast<float>(scroll_.position) * twips_.y;
            pictureHaupt().move(pictureHaupt().x(), twips_.toPixelsY(top));
        });
        p.step([&] { yieldToEvents_(); });
    }
    p.step([&] { scroll_.requests = 0; });
    p.step([&] { scroll_.done = 0; });
    p.step([&] { scroll_.busy = false; });
}

void PluginHost::scrollBarEvent(const EventInfo& info) {
    if (info.Name != QLatin1String("NeuePos")) {
        return;
    }
    ScrollBar_NeuePos(static_cast<int16_t>(info.Parameters.value(0).toInt()));
}

}  // namespace kestrix
