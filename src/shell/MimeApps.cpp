#include "shell/MimeApps.h"

#include <algorithm>
#include <optional>

namespace shell {
namespace {

constexpr const char* kDefaults = "Default Applications";
constexpr const char* kAdded = "Added Associations";
constexpr const char* kRemoved = "Removed Associations";

struct TLine {
  std::string text;  // without the line end
  bool cr = false;   // the line ended in "\r\n"
};

std::string Trim(const std::string& s) {
  const char* ws = " \t";
  std::size_t b = s.find_first_not_of(ws);
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

std::optional<std::string> GroupName(const std::string& line) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return std::nullopt;
  return t.substr(1, t.size() - 2);
}

// The key of a "key=value" line; empty for comments, blank and malformed lines.
std::string KeyOf(const std::string& line) {
  std::string t = Trim(line);
  if (t.empty() || t[0] == '#') return {};
  std::size_t eq = t.find('=');
  return eq == std::string::npos ? std::string() : Trim(t.substr(0, eq));
}

std::vector<std::string> ValueList(const std::string& line) {
  std::string value = line.substr(line.find('=') + 1);
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= value.size()) {
    std::size_t end = value.find(';', start);
    if (end == std::string::npos) end = value.size();
    std::string item = Trim(value.substr(start, end - start));
    if (!item.empty()) items.push_back(item);
    start = end + 1;
  }
  return items;
}

std::string JoinList(const std::vector<std::string>& items) {
  std::string r;
  for (const std::string& i : items) r += i + ";";
  return r;
}

std::vector<TLine> SplitLines(const std::string& text, bool& endsInNewline) {
  std::vector<TLine> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    bool last = end == std::string::npos;
    if (last) end = text.size();
    TLine l;
    l.text = text.substr(start, end - start);
    if (!last && !l.text.empty() && l.text.back() == '\r') {
      l.text.pop_back();
      l.cr = true;
    }
    lines.push_back(std::move(l));
    start = end + 1;
  }
  endsInNewline = !text.empty() && text.back() == '\n';
  return lines;
}

class TMimeAppsEditor {
 public:
  TMimeAppsEditor(const std::string& text, std::string desktopId) : FId(std::move(desktopId)) {
    FLines = SplitLines(text, FEndsInNewline);
    // A file that uses CRLF throughout gets CRLF on the lines added to it.
    FUseCr = !FLines.empty() &&
             std::all_of(FLines.begin(), FLines.end() - 1, [](const TLine& l) { return l.cr; });
    if (FLines.size() == 1) FUseCr = FLines[0].cr;
  }

  // Puts the id first in the type's list of the group, adding the key or group when missing.
  void PutFirst(const std::string& group, const std::string& type) {
    bool found = false;
    ForEachKey(group, type, [&](std::size_t i) {
      std::vector<std::string> items = ValueList(FLines[i].text);
      items.erase(std::remove(items.begin(), items.end(), FId), items.end());
      items.insert(items.begin(), FId);
      FLines[i].text = type + "=" + JoinList(items);
      found = true;
      return true;
    });
    if (!found) Insert(group, type + "=" + FId + ";");
  }

  // Takes the id out of the type's list; a list left empty loses its line.
  void TakeOut(const std::string& group, const std::string& type) {
    ForEachKey(group, type, [&](std::size_t i) {
      std::vector<std::string> items = ValueList(FLines[i].text);
      auto end = std::remove(items.begin(), items.end(), FId);
      if (end == items.end()) return true;
      items.erase(end, items.end());
      if (items.empty()) {
        FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(i));
        return false;
      }
      FLines[i].text = type + "=" + JoinList(items);
      return true;
    });
  }

  std::string Text() const {
    std::string r;
    for (std::size_t i = 0; i < FLines.size(); ++i) {
      r += FLines[i].text;
      if (i + 1 < FLines.size() || FEndsInNewline) r += FLines[i].cr ? "\r\n" : "\n";
    }
    return r;
  }

 private:
  // Calls f(index) for every line of the key in every copy of the group; f returns false when
  // it removed the line.
  template <typename F>
  void ForEachKey(const std::string& group, const std::string& key, F f) {
    bool inGroup = false;
    for (std::size_t i = 0; i < FLines.size();) {
      if (std::optional<std::string> g = GroupName(FLines[i].text)) {
        inGroup = *g == group;
      } else if (inGroup && KeyOf(FLines[i].text) == key) {
        if (!f(i)) continue;
      }
      ++i;
    }
  }

  void Insert(const std::string& group, const std::string& line) {
    std::optional<std::size_t> after;  // the last key line or the header of the group
    bool inGroup = false;
    for (std::size_t i = 0; i < FLines.size(); ++i) {
      if (std::optional<std::string> g = GroupName(FLines[i].text)) {
        if (inGroup) break;  // only the first copy of the group grows
        inGroup = *g == group;
        if (inGroup) after = i;
      } else if (inGroup && !KeyOf(FLines[i].text).empty()) {
        after = i;
      }
    }
    if (after) {
      EndLastLine();
      FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(*after + 1), {line, FUseCr});
      return;
    }
    if (!FLines.empty()) {
      // The new group starts on a line of its own, after a blank one.
      EndLastLine();
      if (!Trim(FLines.back().text).empty()) FLines.push_back({"", FUseCr});
    }
    FLines.push_back({"[" + group + "]", FUseCr});
    FLines.push_back({line, FUseCr});
    FEndsInNewline = true;
  }

  // A last line without a line end gets one before anything follows it.
  void EndLastLine() {
    if (!FEndsInNewline && !FLines.empty()) FLines.back().cr = FUseCr;
    FEndsInNewline = true;
  }

  std::vector<TLine> FLines;
  bool FEndsInNewline = false;
  bool FUseCr = false;
  std::string FId;
};

}  // namespace

std::string MergeMimeApps(const std::string& text, const std::vector<std::string>& types,
                          const std::string& desktopId) {
  TMimeAppsEditor editor(text, desktopId);
  for (const std::string& t : types) {
    editor.PutFirst(kDefaults, t);
    editor.PutFirst(kAdded, t);
    editor.TakeOut(kRemoved, t);
  }
  return editor.Text();
}

}  // namespace shell
