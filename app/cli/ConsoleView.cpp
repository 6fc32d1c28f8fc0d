#include "app/cli/ConsoleView.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <iostream>

namespace {

bool StdinIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdin)) != 0;
#else
  return isatty(STDIN_FILENO) != 0;
#endif
}

// One message, one line: a line break inside a text is written as "\n",
// and nothing in it reaches the terminal raw.
std::string OneLine(const std::string& text) { return EscapedName(text); }

// False at the end of input: nobody is left to answer.
bool AskLine(const std::string& prompt, std::string* line) {
  std::cerr << prompt << std::flush;
  if (std::getline(std::cin, *line)) return true;
  std::cerr << std::endl;
  return false;
}

// The length of the well-formed UTF-8 character at text[i] (shortest form,
// no surrogate, at most U+10FFFF) with its code point; 0 when the byte
// there begins none.
size_t Utf8Char(const std::string& text, size_t i, char32_t* cp) {
  const auto at = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = at(i);
  const size_t len = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                   : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (len == 0) return 0;
  static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  const char32_t min = kLeast[len];
  *cp = lead & (0x7F >> len);
  if (i + len > text.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((at(i + k) & 0xC0) != 0x80) return 0;
    *cp = (*cp << 6) | (at(i + k) & 0x3F);
  }
  if (*cp < min || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF)) return 0;
  return len;
}

// Characters that steer a terminal or reorder what it shows: the C1
// controls, the bidirectional marks, embeddings, overrides and isolates,
// and the line and paragraph separators.
bool SteersTheTerminal(char32_t cp) {
  return (cp >= 0x80 && cp <= 0x9F) || cp == 0x061C || cp == 0x200E || cp == 0x200F ||
         (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

}  // namespace

std::string EscapedName(const std::string& name) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  auto hex = [&](unsigned char b) { out += std::string("\\x") + kHex[b >> 4] + kHex[b & 15]; };
  for (size_t i = 0; i < name.size();) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 0x80) {
      if (c == '\\') out += "\\\\";
      else if (c == '\t') out += "\\t";
      else if (c == '\n') out += "\\n";
      else if (c == '\r') out += "\\r";
      else if (c < 0x20 || c == 0x7F) hex(c);
      else out += static_cast<char>(c);
      ++i;
      continue;
    }
    char32_t cp = 0;
    const size_t len = Utf8Char(name, i, &cp);
    if (len == 0) {
      hex(c);  // not UTF-8: the byte alone, and on with the next
      ++i;
      continue;
    }
    for (size_t k = 0; k < len; ++k) {
      if (SteersTheTerminal(cp)) hex(static_cast<unsigned char>(name[i + k]));
      else out += name[i + k];
    }
    i += len;
  }
  return out;
}

void ConsoleView::ShowMessage(const std::string& text) {
  ++messageCount;
  said += OneLine(text) + "\n";
  std::cerr << OneLine(text) << std::endl;
}

void ConsoleView::ShowErrorText(const std::string& text) {
  ++messageCount;
  said += OneLine(text) + "\n";
  std::cerr << OneLine(text) << std::endl;
}

void ConsoleView::SetStatusLabel(const std::string& text) {
  if (verbose) std::cerr << "[" << OneLine(text) << "]" << std::endl;
}

TOverwriteChoice ConsoleView::AskOverwrite(const std::string& question, const std::string& name) {
  renameText_ = name;
  const TOverwriteAnswer answer = Answer(question);
  return {answer, renameText_};
}

TOverwriteAnswer ConsoleView::Answer(const std::string& question) {
  if (onConflict == "skip") return TOverwriteAnswer::Cancel;
  if (onConflict == "overwrite") return TOverwriteAnswer::Overwrite;
  if (onConflict.rfind("rename:", 0) == 0) {
    // The new name is used once; if it collides too, nothing is overwritten.
    if (renamesUsed_++ > 0) return TOverwriteAnswer::Cancel;
    renameText_ = onConflict.substr(7);
    return TOverwriteAnswer::Rename;
  }
  if (!StdinIsTerminal()) {
    said += OneLine(question) + "\n";
    std::cerr << OneLine(question) << " (no terminal to ask: use --on-conflict)" << std::endl;
    ++unanswered;
    return TOverwriteAnswer::Unanswered;
  }
  // The end of input answers nothing: the file is skipped, and not done.
  auto endOfInput = [&] {
    said += OneLine(question) + "\n";
    std::cerr << OneLine(question) << " (end of input: skipped)" << std::endl;
    ++unanswered;
    return TOverwriteAnswer::Unanswered;
  };
  for (;;) {
    std::string a;
    if (!AskLine(OneLine(question) + " [o]verwrite, [s]kip, [r]ename: ", &a)) return endOfInput();
    if (a == "o" || a == "overwrite") return TOverwriteAnswer::Overwrite;
    if (a.empty() || a == "s" || a == "skip") return TOverwriteAnswer::Cancel;
    if (a == "r" || a == "rename") {
      std::string name;
      if (!AskLine("New name [" + OneLine(renameText_) + "]: ", &name)) return endOfInput();
      if (name.empty()) continue;  // like a cancelled rename prompt: ask again
      renameText_ = name;
      return TOverwriteAnswer::Rename;
    }
  }
}

bool ConsoleView::ConfirmUpdate(const std::string& question) {
  if (assumeYes) return true;
  if (!StdinIsTerminal()) {
    std::cerr << OneLine(question) << " (no terminal: not confirmed; use --yes)" << std::endl;
    return false;
  }
  std::string a;
  if (!AskLine(OneLine(question) + " [y/N]: ", &a)) return false;
  return a == "y" || a == "Y" || a == "yes";
}
