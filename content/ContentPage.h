#pragma once
// The melody, animation and picture page: PC files on one side, phone
// files on the other, and the batch operations between them.
#include <functional>
#include <string>
#include <vector>

#include "content/PcScan.h"
#include "content/PictureFit.h"
#include "link/Batch.h"
#include "link/Link.h"
#include "link/PageState.h"

// The page's actions on files.
enum class TPageAction { Send, Fetch, RemovePhone, RemovePc };

// What one of the page's actions did: the files it took up, in order, and
// how each ended. No files: nothing was selected, and the box said so.
struct TPageReport {
  TPageAction action = TPageAction::Send;
  std::vector<std::string> files;
  TBatchReport batch;
  size_t DoneCount() const;
  std::vector<std::string> NotDone() const;
};

// After an action Stop ended: the box naming how many of all were done and
// the files that were not, in the language chosen now (UTF-8); "" when Stop
// did not end it.
std::string StoppedActionText(const TPageReport& report, const TUiTextDecoder& decoder);

// What became of files dropped on the phone list.
struct TDropReport {
  std::vector<std::string> sent;    // handed to the batch, a fitted copy in its original's place
  std::vector<std::string> fitted;  // the copies made
  struct TNotSent {
    std::string path;
    std::string reason;     // UTF-8, as the box says it
    bool declined = false;  // a copy was offered and not wanted: no box
  };
  std::vector<TNotSent> notSent;  // in the order dropped
  TPageReport sending;            // the send of 'sent'
};

// PC files (each in its own folder) to the desktop's trash through the
// view, one after another with the phone batches' pause, Stop and close;
// the first that does not go ends the batch and stays where it was.
TPageReport RemovePcFiles(TLink& link, const std::vector<TBatchFile>& files);

// Files dropped on the phone list, judged for phone folder 'folder' as
// they come, without sending any: what SendDroppedFiles does before it
// sends 'sent' (the boxes and fit questions through 'view').
TDropReport JudgeDroppedFiles(IFormView& view, int folder, const std::vector<std::string>& paths,
                              const fit::TPictureFitter* fitter, const TUiTextDecoder& decoder);

class TContentPage {
 public:
  TContentPage(TLink& link, TPageState& pages) : link_(link), pages_(pages) {}

  TPicList PcFileList;
  // Caption of the folder chooser, set by the opener of the current kind.
  std::string ChooserCaption = "Picture Folder";
  // "Show all files": the scan also keeps the files the phone would not
  // take, with their reasons. They are never part of PcFileList, so no
  // button acts on them.
  bool ShowAllFiles = false;
  std::vector<pcscan::TRejectedEntry> Unsuitable;
  // The front end's decoder of the text table, for the reasons shown.
  const TUiTextDecoder* Decoder = nullptr;

  // Tool-bar openers.
  void Ring_ButtonClick();
  void Animation_ButtonClick();
  void DC_PIC_ToolButtonClick();
  // Opening and refresh sequence.
  void OpenContentPage();
  void ScanPcFolder();
  // The PC list read anew (after "Show all files" changed or a copy was
  // made beside it); nothing while no folder is chosen.
  void RescanPcList();

  // Page buttons.
  TPageReport DC_PIC_UL_ButtonClick();
  TPageReport DC_PIC_DL_ButtonClick();
  TPageReport DC_PIC_Remove_PHONE_ButtonClick();
  // To the desktop's trash through the view, one file after another with
  // the phone batches' pause and Stop.
  TPageReport DC_PIC_Remove_PC_ButtonClick();
  void DC_PIC_PC_ListViewDblClick();
  // Sends files from anywhere on the PC (a drop on the phone list) to the
  // current phone folder as one batch, then refreshes the page. The
  // caller has already judged them.
  TPageReport SendPcFiles(const std::vector<std::string>& paths);
  // Files dropped on the phone list, judged for the current phone folder
  // as they come: one the phone takes is sent; a picture it refuses only
  // for its size, dimensions or format is offered as a copy that fits
  // (the view's ConfirmFitCopy; never with no fitter), which is made and
  // sent instead; any other is named with its reason in a box at once.
  // What is to be sent goes as SendPcFiles sends.
  TDropReport SendDroppedFiles(const std::vector<std::string>& paths, const fit::TPictureFitter* fitter,
                               const TUiTextDecoder& decoder);

 private:
  void OpenKind(int folder, const char* chooserCaption, TTitle title);
  // The page's own lists' selected files, copied (the refresh rebuilds the lists).
  std::vector<TBatchFile> Selected(TListId list) const;
  // Runs a batch with the buttons locked, then refreshes the page.
  TPageReport RunPhoneBatch(TPageAction action, const std::vector<TBatchFile>& files, int totalBar);
  TLink& link_;
  TPageState& pages_;
};
