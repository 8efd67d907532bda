// Reads Newick text back into a Tree, for the tests: bare and quoted names
// (an inner quote doubled), internal labels, branch lengths, blanks and line
// breaks between tokens.  Tips are numbered by their place in `tip_names`.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tree/tree.hpp"

namespace bandscape::testing {

struct ReadTree {
  Tree tree;
  std::vector<std::string> labels;  // by node: names of the tips, labels of the others
};

inline ReadTree read_newick(const std::string& s, const std::vector<std::string>& tip_names, bool rooted) {
  ReadTree out{tips_only(static_cast<int>(tip_names.size()), rooted), tip_names};
  std::size_t pos = 0;
  auto next = [&] {
    while (pos < s.size() && std::isspace(static_cast<unsigned char>(s[pos]))) ++pos;
    return pos < s.size() ? s[pos] : ';';
  };
  auto name = [&] {
    std::string text;
    if (next() == '\'') {
      while (++pos < s.size() && (s[pos] != '\'' || (pos + 1 < s.size() && s[++pos] == '\''))) text += s[pos];
      if (pos == s.size()) throw std::runtime_error("unclosed quote");
      return text;
    }
    while (pos < s.size() && !std::strchr("(),:;[ \t\n", s[pos])) text += s[pos++];
    return text;
  };
  std::function<int()> node = [&] {
    int id;
    if (next() == '(') {
      std::vector<int> children;
      do {
        ++pos;
        children.push_back(node());
      } while (next() == ',');
      if (next() != ')') throw std::runtime_error("expected ')'");
      ++pos;
      id = out.tree.join(children);
      out.labels.push_back(name());
    } else {
      const std::string tip = name();
      id = static_cast<int>(std::find(tip_names.begin(), tip_names.end(), tip) - tip_names.begin());
      if (id == out.tree.tips) throw std::runtime_error("unknown tip " + tip);
    }
    if (next() == ':') {
      char* end = nullptr;
      out.tree.nodes[id].length = std::strtod(s.c_str() + ++pos, &end);
      pos = static_cast<std::size_t>(end - s.c_str());
    }
    return id;
  };
  out.tree.root = node();
  if (next() != ';') throw std::runtime_error("expected ';'");
  return out;
}

}  // namespace bandscape::testing
