#pragma once
// The logo and the four tool-bar pictures. The SVG originals live in the
// resources; where no SVG image plug-in is installed the same shapes are
// painted directly so the window never shows empty buttons.
#include <QIcon>
#include <QPixmap>
#include <QSize>

enum class TToolPicture { Melody, Animation, Picture, Java };

QPixmap LogoPixmap(const QSize& size);
QIcon ToolIcon(TToolPicture picture);
