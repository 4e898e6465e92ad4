#pragma once

#include <QColor>

// The classic system colours the screens name.
inline const QColor clInfoBk{0xFF, 0xFF, 0xE1};  // info (tooltip) background: editable key fields
inline const QColor clBtnFace{0xF0, 0xF0, 0xF0}; // button face: read-only displays
inline const QColor clWindow{0xFF, 0xFF, 0xFF};
inline const QColor clWindowText{0x00, 0x00, 0x00};
inline const QColor clBlue{0x00, 0x00, 0xFF};
inline const QColor clNavy{0x00, 0x00, 0x80};
inline const QColor clRed{0xFF, 0x00, 0x00};
inline const QColor clGrayText{0x6D, 0x6D, 0x6D};
