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
      if (byte >= 0x20) return Step::kTyping;  // the key's letter
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
        if (byte == '~' && csi_parameters_ == "3") erase_last(echo);  // the Delete key
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
      erase_last(echo);
      return Step::kTyping;
    case kCtrlU:
      while (!text_.empty()) erase_last(echo);
      return Step::kTyping;
    case kEscape:
      escape_ = Escape::kStart;
      return Step::kTyping;
    default:
      if (byte < 0x20) return Step::kTyping;  // other control characters
      text_ += static_cast<char>(byte);
      echo += static_cast<char>(byte);
      return Step::kTyping;
  }
}

// Erases the last character: its continuation bytes and the byte that leads
// them.  A stray continuation byte after a plain character goes alone.
void LineEditor::erase_last(std::string& echo) {
  if (text_.empty()) return;
  std::size_t start = text_.size() - 1;
  while (start > 0 && is_continuation(static_cast<unsigned char>(text_[start]))) --start;
  if (start + 1 < text_.size() && static_cast<unsigned char>(text_[start]) < 0x80) ++start;
  text_.erase(start);
  echo += "\b \b";
}

}  // namespace bandscape
