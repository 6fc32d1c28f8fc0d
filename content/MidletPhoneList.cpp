// The phone half of the Java page: opening the Java folder, the suite
// listing (its parser and its unit) and uninstalling a suite.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "link/Commands.h"
#include "link/Connection.h"
#include "content/MidletPage.h"
#include "link/Text.h"
#include "link/Transfers.h"

namespace {

constexpr const char* kSeamKey = "*FDWN:";
constexpr size_t kSeamLead = 4;    // characters in front of "*FDWN:"
constexpr size_t kSeamLength = 14; // 4 + "*FDWN:" + 4

// Characters after the key at keyPos up to the two characters in front of
// stopPos; empty when the two would reach back into the key.
std::string FieldBetween(const std::string& text, size_t keyPos, size_t keyLen, size_t stopPos) {
  size_t begin = keyPos + keyLen;
  if (stopPos < begin + 2) return std::string();
  return text.substr(begin, stopPos - 2 - begin);
}

}  // namespace

int32_t StrictToInt(const std::string& text) {
  std::optional<int32_t> v = ParseDecimal(text);
  if (!v) throw std::invalid_argument("'" + text + "' is not a valid integer value");
  return *v;
}

TSuiteListError::TSuiteListError(std::string suite, std::string sizeText)
    : std::invalid_argument("'" + sizeText + "' is not a valid integer value"),
      suite_(std::move(suite)),
      sizeText_(std::move(sizeText)) {}

std::string TSuiteListError::Describe() const {
  return "The phone's suite list cannot be read: suite " + suite_ + " is listed with the size '" + sizeText_ +
         "', which is not a whole number within 32 bits";
}

std::string RemoveListingSeam(const std::string& value) {
  size_t at = value.find(kSeamKey);
  if (at == std::string::npos) return value;
  // The seam spans [at - 4, at + 10). Cut short at either end of the value,
  // only the part that lies inside the value is removed.
  size_t begin = at >= kSeamLead ? at - kSeamLead : 0;
  size_t end = std::min(value.size(), at + kSeamLength - kSeamLead);
  return value.substr(0, begin) + value.substr(end);
}

bool ParsePhoneSuiteList(const std::string& reply, TInfoList<Mobile_info>& list) {
  std::string text = reply;
  for (;;) {
    size_t url = text.find("URL:");
    if (url == std::string::npos) return true;
    Mobile_info* rec = list.Append();

    size_t name = text.find("NAME:");
    if (name == std::string::npos) return false;
    rec->url = RemoveListingSeam(FieldBetween(text, url, 4, name));
    text.erase(0, name);

    size_t size = text.find("SIZE:");
    if (size == std::string::npos) return false;
    rec->name = RemoveListingSeam(FieldBetween(text, 0, 5, size));
    text.erase(0, size);

    size_t version = text.find("VERSION:");
    if (version == std::string::npos) return false;
    const std::string sizeText = RemoveListingSeam(FieldBetween(text, 0, 5, version));
    if (const std::optional<int32_t> size = ParseDecimal(sizeText)) rec->size = *size;
    else throw TSuiteListError(rec->name, sizeText);
    text.erase(0, version);

    size_t next = text.find("URL:");
    if (next != std::string::npos) {
      rec->version = RemoveListingSeam(FieldBetween(text, 0, 8, next));
      text.erase(0, next);
      continue;
    }
    size_t crlf = text.find("\r\n");
    if (crlf == std::string::npos) return false;
    rec->version = RemoveListingSeam(crlf >= 8 ? text.substr(8, crlf - 8) : std::string());
    text.erase(0, crlf);
  }
}

TResult OpenJavaFolder(TLink& link) {
  const TResult checked = CheckLinkResult(link);
  if (!checked.Ok()) {
    // Only an unanswered "AT" leaves the port open with no verdict; a
    // refusal, a failed open or write, and an abort have their own ends.
    if (checked.outcome != TOutcome::Refused && link.Port().Connected() && !link.StopToken().Closing())
      ReturnToLogo(link.View());
    return checked;
  }
  TExchangeOptions options;
  options.purgeFirst = true;
  const TResult selected = link.Exchange(TStep::SelectJavaFolder, command::SelectFolder(command::kJavaFolder),
                                         TWaitRule{StateBit(rsOk), 500, 10, false}, options);
  if (selected.outcome == TOutcome::TimedOut) ReturnToLogo(link.View());
  return selected;
}

TResult ListPhoneSuites(TLink& link, TInfoList<Mobile_info>& suites, TListShow show) {
  IFormView& view = link.View();
  suites.Clear();
  view.SetStatusLabel("Get Mobile Info...");
  const TResult listed =
      link.Exchange(TStep::ListSuites, command::SuiteList(), TWaitRule{StateBit(rsOk), 2000, 5, false});
  if (listed.Quiet()) return listed;
  if (!listed.Ok()) {
    view.HideStatusLabel();
    return listed;
  }
  view.SetStatusLabel("Parse Mobile Info...");
  ParsePhoneSuiteList(listed.reply, suites);
  if (show == TListShow::Page)
    for (Mobile_info* rec = suites.First(); rec; rec = rec->next.get())
      view.AddListRow(TListId::PhoneSuites, {rec->name, rec->version, std::to_string(rec->size)});
  view.HideStatusLabel();
  return listed;
}

TResult UninstallSuite(TLink& link, const std::string& name) {
  IFormView& view = link.View();
  if (!IsSafeCommandName(name)) {
    view.ShowMessage(InvalidNameMessage(name));
    return TResult::Of(TOutcome::Failed);
  }
  view.SetStatusLabel("Uninstall MIDlet suites...");
  const TResult removed =
      link.Exchange(TStep::UninstallSuite, command::Uninstall(name), TWaitRule{StateBit(rsOk), 3000, 10, false});
  if (!removed.Quiet()) view.HideStatusLabel();
  return removed;
}
