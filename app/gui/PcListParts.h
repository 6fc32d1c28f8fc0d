#pragma once
// The content page's PC list as the Qt window draws it: room for
// thumbnails, drops of local files, and the greyed rows of "Show all
// files" with their reasons in every language.
#include <QColor>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "content/PictureFit.h"
#include "link/FormView.h"

class QObject;
class QStyledItemDelegate;
class QTreeWidgetItem;

inline constexpr int kReasonColumn = 2;

// Keeps room for a thumbnail in every name cell while on() says thumbnails
// are shown, so names stay aligned before their pictures come (and for
// files with none).
QStyledItemDelegate* NewThumbnailRoom(QObject* parent, std::function<bool()> on);
// Takes drags of local files on a list's viewport while open() allows and
// hands the files of a drop to drop(), after the drop has returned.
QObject* NewFileDropFilter(QObject* parent, std::function<bool()> open,
                           std::function<void(const QStringList&)> drop);

// A greyed row of a file the phone would not take, the index-th such row
// shown, with its reason in each language.
QTreeWidgetItem* NewUnsuitableRow(const std::vector<std::string>& cells, const TWordsByLanguage& why, int index,
                                  const QColor& grey);
// The row's place among the greyed rows; false for a listed file.
bool UnsuitableIndex(const QTreeWidgetItem* item, int* index);
// The reason cell and tool tips of a greyed row, in the language chosen
// now; false (nothing done) for a listed file.
bool ShowReason(QTreeWidgetItem* item);

// The fitter of this window: Qt's image readers and writers.
const fit::TPictureFitter& PictureFitter();
