#pragma once
// The boxes of backup and restore in the Qt window: the end of a backup
// with its "open the folder" button, and the restore plan as a question.
#include <string>
#include <vector>

#include "content/BackupRun.h"

class QWidget;

// The end box of a backup; true only when "Open folder" was chosen.
bool ShowBackupEndBox(QWidget* parent, const std::string& text);
// The restore plan, file by file with its action, and the counts; true for OK.
bool AskRestorePlan(QWidget* parent, const std::vector<backup::TPlanItem>& plan);
