// The Kestrix plug-in SDK: the members of the operator window's scroll bar
// ("HolvigScrollBar.ScrollBar") that the shell sets by dispatch id after each layout of its
// modules: the page size and the range maximum, both in pixels, and the enabled flag. The control
// declares them with these numbers, for example
//
//     Q_CLASSINFO("DispId " QT_STRINGIFY(KESTRIX_SCROLLBAR_PAGESIZE_DISPID), "pageupdo")
//
// The numbers are macros because moc reads a class info only as string literals; the constants
// below are the same numbers for the shell's calls.
#pragma once

#include <QtGlobal>

#define KESTRIX_SCROLLBAR_PAGESIZE_DISPID 0x68030001
#define KESTRIX_SCROLLBAR_RANGEMAX_DISPID 0x68030002
#define KESTRIX_SCROLLBAR_ENABLED_DISPID 0x68030006

namespace kestrix::ScrollBarDispId {

inline constexpr int PageSize = KESTRIX_SCROLLBAR_PAGESIZE_DISPID;
inline constexpr int RangeMax = KESTRIX_SCROLLBAR_RANGEMAX_DISPID;
inline constexpr int Enabled = KESTRIX_SCROLLBAR_ENABLED_DISPID;

}  // namespace kestrix::ScrollBarDispId
