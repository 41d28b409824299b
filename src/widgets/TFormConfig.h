#pragma once

#include <QColor>
#include <QString>

namespace vek::widgets {

enum class TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
using TBorderIcons = unsigned; // a set of TBorderIcon bits
constexpr TBorderIcons operator|(TBorderIcon a, TBorderIcon b) {
    return static_cast<unsigned>(a) | static_cast<unsigned>(b);
}
constexpr bool hasIcon(TBorderIcons set, TBorderIcon icon) {
    return (set & static_cast<unsigned>(icon)) != 0;
}

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum class TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};

/// The popup window's settings, with the values a new panel form starts with.
struct TFormConfig {
    QString Caption = QStringLiteral("QXPanelForm");
    bool AlphaBlend = false;
    int AlphaBlendValue = 0; // 0..255, used only with AlphaBlend
    TBorderIcons BorderIcons =
        TBorderIcon::biSystemMenu | TBorderIcon::biMinimize | TBorderIcons(TBorderIcon::biMaximize);
    bool TransparentColor = false;
    QColor TransparentColorValue = QColor(0xf0, 0xf0, 0xf0); // button face
    bool Ctl3D = true;
    TFormStyle FormStyle = TFormStyle::fsNormal;
    TPosition Position = TPosition::poDefaultPosOnly;
    TFormBorderStyle BorderStyle = TFormBorderStyle::bsSizeable;
};

} // namespace vek::widgets
