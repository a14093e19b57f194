#include "shell/DesktopEntry.h"

#include <QByteArray>
#include <QStringDecoder>
#include <algorithm>
#include <cctype>

namespace shell {
namespace {

struct TKnownType {
  const char* extension;  // lower case
  std::vector<std::string> types;
};

// Types of shared-mime-info. The second Ogg type is the one file managers give Vorbis files
// after looking inside them; without it the default would not reach most .ogg files.
const std::vector<TKnownType>& KnownTypes() {
  static const std::vector<TKnownType> known{
      {"aac", {"audio/aac"}},
      {"ac3", {"audio/ac3"}},
      {"aif", {"audio/x-aiff"}},
      {"aiff", {"audio/x-aiff"}},
      {"ape", {"audio/x-ape"}},
      {"cue", {"application/x-cue"}},
      {"flac", {"audio/flac"}},
      {"m4a", {"audio/mp4"}},
      {"mp2", {"audio/mp2"}},
      {"mp3", {"audio/mpeg"}},
      {"ogg", {"audio/ogg", "audio/x-vorbis+ogg"}},
      {"opus", {"audio/x-opus+ogg"}},
      {"tta", {"audio/x-tta"}},
      {"wav", {"audio/x-wav"}},
      {"wma", {"audio/x-ms-wma"}},
      {"wv", {"audio/x-wavpack"}},
  };
  return known;
}

std::string Lower(const std::string& s) {
  std::string r = s;
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

bool IsPlainExtension(const std::string& e) {
  if (e.empty() || e.size() > 16) return false;
  return std::all_of(e.begin(), e.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

const TKnownType* FindKnown(const std::string& extension) {
  const std::string lower = Lower(extension);
  for (const TKnownType& k : KnownTypes())
    if (lower == k.extension) return &k;
  return nullptr;
}

bool IsUtf8(const std::string& s) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString ignored = decoder.decode(QByteArrayView(s.data(), static_cast<qsizetype>(s.size())));
  return !decoder.hasError();
}

// Characters after which an Exec argument must be quoted.
bool IsReserved(char c) {
  static const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
  return reserved.find(c) != std::string::npos;
}

// Returns false for text a desktop file cannot hold.
bool IsWritable(const std::string& s) {
  if (!IsUtf8(s)) return false;
  return std::none_of(s.begin(), s.end(), [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u < 0x20 && c != '\t' && c != '\n' && c != '\r') || u == 0x7f;
  });
}

std::string MimeTypeList(const std::vector<std::string>& types) {
  std::string r;
  for (const std::string& t : types) r += t + ";";
  return r;
}

std::optional<std::string> ExecValue(const std::string& program, const char* fieldCode) {
  std::optional<std::string> quoted = QuoteExecArgument(program);
  if (!quoted) return std::nullopt;
  std::string exec = *quoted;
  if (fieldCode != nullptr) exec += std::string(" ") + fieldCode;
  return EscapeDesktopString(exec);
}

}  // namespace

std::vector<std::string> MimeTypesForExtension(const std::string& extension) {
  if (!IsPlainExtension(extension)) return {};
  if (const TKnownType* k = FindKnown(extension)) return k->types;
  return {"audio/x-" + Lower(extension)};
}

bool IsOwnMimeType(const std::string& extension) {
  return IsPlainExtension(extension) && FindKnown(extension) == nullptr;
}

std::vector<std::string> MimeTypesForExtensions(const std::vector<std::string>& extensions) {
  std::vector<std::string> all;
  for (const std::string& e : extensions)
    for (const std::string& t : MimeTypesForExtension(e))
      if (std::find(all.begin(), all.end(), t) == all.end()) all.push_back(t);
  return all;
}

std::optional<std::string> QuoteExecArgument(const std::string& argument) {
  if (!IsWritable(argument)) return std::nullopt;
  const bool quote = argument.empty() || std::any_of(argument.begin(), argument.end(), IsReserved);
  std::string r;
  if (quote) r += '"';
  for (char c : argument) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) r += '\\';
    r += c;
    // A lone "%" would start a field code.
    if (c == '%') r += '%';
  }
  if (quote) r += '"';
  return r;
}

std::string EscapeDesktopString(const std::string& value) {
  std::string r;
  for (std::size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    switch (c) {
      case '\\':
        r += "\\\\";
        break;
      case '\n':
        r += "\\n";
        break;
      case '\t':
        r += "\\t";
        break;
      case '\r':
        r += "\\r";
        break;
      case ' ':
        r += i == 0 ? "\\s" : " ";
        break;
      default:
        r += c;
    }
  }
  return r;
}

std::optional<std::string> PlayerDesktopEntry(const std::vector<std::string>& extensions,
                                              const std::string& program) {
  std::optional<std::string> exec = ExecValue(program, "%f");
  if (!exec) return std::nullopt;
  std::string e;
  e += "[Desktop Entry]\n";
  e += "Type=Application\n";
  e += "Version=1.4\n";
  e += "Name=Melvo5\n";
  e += "GenericName=Music Player\n";
  e += "GenericName[zh_CN]=音乐播放器\n";
  e += std::string("Comment=") + kOpenVerb + "\n";
  e += "Icon=melvo\n";
  e += "TryExec=" + EscapeDesktopString(program) + "\n";
  e += "Exec=" + *exec + "\n";
  e += "Terminal=false\n";
  e += "Categories=AudioVideo;Audio;Player;\n";
  const std::vector<std::string> types = MimeTypesForExtensions(extensions);
  if (!types.empty()) e += "MimeType=" + MimeTypeList(types) + "\n";
  return e;
}

std::optional<std::string> AutoStartEntry(const std::string& program) {
  std::optional<std::string> exec = ExecValue(program, nullptr);
  if (!exec) return std::nullopt;
  std::string e;
  e += "[Desktop Entry]\n";
  e += "Type=Application\n";
  e += "Version=1.4\n";
  e += "Name=Melvo5\n";
  e += "Icon=melvo\n";
  e += "Exec=" + *exec + "\n";
  e += "Terminal=false\n";
  e += "X-GNOME-Autostart-enabled=true\n";
  return e;
}

std::string MimePackage(const std::vector<std::string>& extensions) {
  std::vector<std::string> order;
  for (const std::string& e : extensions) {
    if (!IsOwnMimeType(e)) continue;
    const std::string lower = Lower(e);
    if (std::find(order.begin(), order.end(), lower) == order.end()) order.push_back(lower);
  }
  if (order.empty()) return {};
  std::string x;
  x += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  x += "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
  for (const std::string& lower : order) {
    std::string upper = lower;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    x += "  <mime-type type=\"audio/x-" + lower + "\">\n";
    x += "    <comment>" + upper + " audio</comment>\n";
    x += "    <comment xml:lang=\"zh_CN\">" + upper + " 音频</comment>\n";
    x += "    <glob pattern=\"*." + lower + "\"/>\n";
    x += "  </mime-type>\n";
  }
  x += "</mime-info>\n";
  return x;
}

}  // namespace shell
