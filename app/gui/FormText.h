#pragma once
// Texts as the Qt window shows them: the caption of its boxes, bytes from
// outside made into characters, and tool tips that never read as markup.
#include <QString>
#include <string>

// The application title: caption of message boxes ("Nomra Sync Tool" until
// the main window puts the product name there).
void SetApplicationTitle(const QString& title);
QString ApplicationTitle();
// Bytes for the window: UTF-8 when valid, otherwise one character per byte.
QString BytesToQString(const std::string& bytes);
// A tool tip that shows its text as written: text Qt would guess to be
// markup (a name like "<b>a</b>.gif") is handed over as escaped markup.
QString PlainTip(const QString& text);
