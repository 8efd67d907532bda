// Editing of one typed answer.
#include "app/line_editor.hpp"

namespace bandscape {
namespace {

constexpr unsigned char kCtrlD = 0x04;
constexpr unsigned char kBackspace = 0x08;
constexpr unsigned char kCtrlU = 0x15;
constexpr unsigned char kEscape = 0x1b;
constexpr unsigned char kDelete = 0x7f;

bool is_continuation(unsigned char c) { return (c & 0xc0) == 0x80; }

}  // namespace

LineEditor::Step LineEditor::feed(unsigned char byte, std::string& echo) {
  switch (escape_) {
    case Escape::kNone:
      break;
    case Escape::kStart:
      if (byte == kEscape) return Step::kTyping;  // ESC ESC: the second one may begin a sequence
      if (byte == '[') {
        escape_ = Escape::kCsi;
        csi_parameters_.clear();
        return Step::kTyping;
      }
      if (byte == 'O') {
        escape_ = Escape::kSs3;
        return Step::kTyping;
      }
      escape_ = Escape::kNone;  // a lone ESC: dropped
      break;
    case Escape::kSs3:
      escape_ = Escape::kNone;
      if (byte >= 0x20) {  // the key's letter
        if (byte == 'D') move_left(echo);
        if (byte == 'C') move_right(echo);
        if (byte == 'H') move_home(echo);
        if (byte == 'F') move_end(echo);
        return Step::kTyping;
      }
      break;
    case Escape::kCsiBracket:
      // "ESC [ [ x": the Linux console's function keys.
      escape_ = Escape::kNone;
      if (byte >= 0x20) return Step::kTyping;
      break;
    case Escape::kCsi:
      if (byte >= 0x20 && byte <= 0x3f) {  // parameter and intermediate bytes
        csi_parameters_ += static_cast<char>(byte);
        return Step::kTyping;
      }
      if (byte >= 0x40 && byte <= 0x7e) {  // the final byte
        if (byte == '[' && csi_parameters_.empty()) {
          escape_ = Escape::kCsiBracket;
          return Step::kTyping;
        }
        escape_ = Escape::kNone;
        if (csi_parameters_.empty()) {
          if (byte == 'D') move_left(echo);
          if (byte == 'C') move_right(echo);
          if (byte == 'H') move_home(echo);
          if (byte == 'F') move_end(echo);
        } else if (byte == '~') {
          if (csi_parameters_ == "3") erase_under(echo);  // the Delete key
          if (csi_parameters_ == "1" || csi_parameters_ == "7") move_home(echo);
          if (csi_parameters_ == "4" || csi_parameters_ == "8") move_end(echo);
        }
        return Step::kTyping;
      }
      escape_ = Escape::kNone;  // not a sequence after all: the byte counts as typed
      break;
  }
  return take(byte, echo);
}

LineEditor::Step LineEditor::take(unsigned char byte, std::string& echo) {
  switch (byte) {
    case '\r':
    case '\n':
      // Return on an empty answer shows nothing: the caller shows the default.
      if (!text_.empty()) echo += '\n';
      return Step::kReturn;
    case kCtrlD:
      return text_.empty() ? Step::kEndOfInput : Step::kTyping;
    case kBackspace:
    case kDelete:
      erase_before(echo);
      return Step::kTyping;
    case kCtrlU:
      move_end(echo);
      while (!text_.empty()) erase_before(echo);
      return Step::kTyping;
    case kEscape:
      escape_ = Escape::kStart;
      return Step::kTyping;
    default:
      if (byte < 0x20) return Step::kTyping;  // other control characters
      insert(byte, echo);
      return Step::kTyping;
  }
}

// A stray continuation byte after a plain character is a character of its own.
std::size_t LineEditor::previous_start(std::size_t at) const {
  std::size_t start = at - 1;
  while (start > 0 && is_continuation(static_cast<unsigned char>(text_[start]))) --start;
  if (start + 1 < at && static_cast<unsigned char>(text_[start]) < 0x80) ++start;
  return start;
}

std::size_t LineEditor::next_end(std::size_t at) const {
  std::size_t end = at + 1;
  if (static_cast<unsigned char>(text_[at]) < 0x80) return end;
  while (end < text_.size() && is_continuation(static_cast<unsigned char>(text_[end]))) ++end;
  return end;
}

int LineEditor::columns(std::size_t from, std::size_t to) const {
  int n = 0;
  for (std::size_t at = from; at < to; at = next_end(at)) ++n;
  return n;
}

void LineEditor::redraw_tail(std::string& echo, int blanks) const {
  echo.append(text_, cursor_, std::string::npos);
  echo.append(static_cast<std::size_t>(blanks), ' ');
  echo.append(static_cast<std::size_t>(columns(cursor_, text_.size()) + blanks), '\b');
}

// Inside the answer the rest is shown again once the character is whole (the
// terminal holds the first bytes of a UTF-8 character until its last).
void LineEditor::insert(unsigned char byte, std::string& echo) {
  text_.insert(cursor_, 1, static_cast<char>(byte));
  ++cursor_;
  echo += static_cast<char>(byte);
  if (cursor_ == text_.size()) return;
  const std::size_t start = previous_start(cursor_);
  const auto lead = static_cast<unsigned char>(text_[start]);
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (lead < 0xC0 || cursor_ - start >= length) redraw_tail(echo, 0);
}

void LineEditor::move_left(std::string& echo) {
  if (cursor_ == 0) return;
  cursor_ = previous_start(cursor_);
  echo += '\b';
}

void LineEditor::move_right(std::string& echo) {
  if (cursor_ == text_.size()) return;
  const std::size_t end = next_end(cursor_);
  echo.append(text_, cursor_, end - cursor_);
  cursor_ = end;
}

void LineEditor::move_home(std::string& echo) {
  echo.append(static_cast<std::size_t>(columns(0, cursor_)), '\b');
  cursor_ = 0;
}

void LineEditor::move_end(std::string& echo) {
  echo.append(text_, cursor_, std::string::npos);
  cursor_ = text_.size();
}

// Erases the character before the cursor: its continuation bytes and the byte
// that leads them.
void LineEditor::erase_before(std::string& echo) {
  if (cursor_ == 0) return;
  const std::size_t start = previous_start(cursor_);
  text_.erase(start, cursor_ - start);
  cursor_ = start;
  echo += '\b';
  redraw_tail(echo, 1);
}

void LineEditor::erase_under(std::string& echo) {
  if (cursor_ == text_.size()) return;
  text_.erase(cursor_, next_end(cursor_) - cursor_);
  redraw_tail(echo, 1);
}

}  // namespace bandscape
