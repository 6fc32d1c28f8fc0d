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

}  // namespace

std::string EscapedName(const std::string& name) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    const unsigned char next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
    auto hex = [&](unsigned char b) { out += std::string("\\x") + kHex[b >> 4] + kHex[b & 15]; };
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c < 0x20 || c == 0x7F) hex(c);
    else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      hex(c);
      hex(next);
      ++i;
    } else out += static_cast<char>(c);
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
