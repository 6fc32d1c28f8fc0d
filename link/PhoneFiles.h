#pragma once
// The operations on the files of a phone folder, each one unit over the
// link: its steps, waits, texts and end step. They take what they work on
// as arguments and return how it ended.
#include <cstdint>
#include <string>
#include <string_view>

#include "link/Exchange.h"
#include "link/PageState.h"

class TLink;
class IPacketSink;
struct TPacketSequence;

// Two names are one phone file when they differ only in ASCII letter case:
// the phone finds, stores and overwrites them so. Every clash, size and
// "kept" check by a phone name follows this one rule.
bool SamePhoneName(std::string_view a, std::string_view b);
// The first entry of a phone list that a file of this name meets; null
// when none.
pic_info* FindPhoneFile(const TPicList& list, std::string_view name);

// Selecting a folder leaves the pages' phone list unknown.
TResult SelectPhoneFolder(TLink& link, TPageState& pages, int folder);
// Whether a listing shows itself: the page's list view and the box for an
// empty folder, or nothing but the pages' phone list (a backup, a restore,
// a check after a batch: those tell their own end).
enum class TListShow { Page, Quiet };
// Fills the pages' phone list (and, for the page, the phone list view); an
// unreadable listing is told and Failed, an empty one told on the page.
TResult ListPhoneFolder(TLink& link, TPageState& pages, TListShow show = TListShow::Page);
TResult RemovePhoneFile(TLink& link, const std::string& name);

// Sends a file of pcFolder to a phone folder, asking first when the pages'
// phone list holds one of that name, or once when that list is unknown. A
// file that cannot be opened is refused before anything is sent.
TResult UploadFile(TLink& link, TPageState& pages, const std::string& pcFolder, const std::string& name, int folder);
// A file now stored on the phone joins a known phone list, so the next
// file of a batch is checked against it too.
void NotePhoneFile(TPageState& pages, const std::string& name, uint64_t size);

// Fetches a phone file of the selected folder into pcFolder, asking first
// when the PC folder holds one of that name.
TResult DownloadFile(TLink& link, const std::string& pcFolder, const std::string& name, int size);
// Removes the temporary file of the download under way, if any. Safe in a
// signal handler: for a way out that leaves at once (a second Ctrl+C).
// Only a program that runs one download at a time keeps it findable, by
// calling KeepDownloadTemporaryForDrop() once at start.
void KeepDownloadTemporaryForDrop();
void DropDownloadTemporary();
// Checks the packets in the reply text and writes them; with a sequence,
// also their numbers and the end of the file.
// A packet past the sequence's bound is told with the file's name.
void ParseDownloadPacket(TLink& link, IPacketSink& file, TPacketSequence* sequence = nullptr,
                         const std::string& name = {});

// The end of a transfer, shared by upload and download: the status line
// goes, the log closes, and a transfer that did not end well closes the port.
void FinishTransfer(TLink& link);
