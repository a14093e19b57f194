// The sign code and the registration exchange with the statistics server.
#include <QByteArray>
#include <QCryptographicHash>
#include <QString>

#include <iterator>

#include "online/Hosts.h"
#include "online/common.h"

namespace online {
namespace {

std::string ToAsciiWithQuestionMarks(const std::string& utf8) {
  const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  std::string out;
  out.reserve(utf8.size());
  for (auto it = text.cbegin(); it != text.cend(); ++it) {
    const char16_t ch = it->unicode();
    if (ch < 0x80) {
      out += static_cast<char>(ch);
      continue;
    }
    out += '?';
    if (QChar::isHighSurrogate(ch) && std::next(it) != text.cend() &&
        QChar::isLowSurrogate(std::next(it)->unicode()))
      ++it;  // one character, one "?"
  }
  return out;
}

}  // namespace

std::string MD5Hex(const std::string& utf8) {
  const std::string ascii = ToAsciiWithQuestionMarks(utf8);
  const QByteArray digest = QCryptographicHash::hash(
      QByteArray(ascii.data(), static_cast<qsizetype>(ascii.size())), QCryptographicHash::Md5);
  return digest.toHex().toUpper().toStdString();
}

std::string MakeSignCode(const std::string& token, const std::string& mac,
                         const std::string& version, const std::string& uid) {
  return MD5Hex(MD5Hex(mac) + uid + token + MD5Hex(version));
}

FormFields MakeSignForm(const std::string& token, const std::string& mac, const std::string& uid,
                        const std::string& version) {
  FormFields form;
  form.Set("mac", mac);
  form.Set("uid", uid);
  form.Set("c", "1");
  form.Set("v", version);
  form.Set("code", MakeSignCode(token, form.Get("mac"), form.Get("v"), form.Get("uid")));
  return form;
}

bool RegisterClient() {
  const std::string uid = ReadClientId();
  const HttpResult token = HttpGet(StatHost(), "/interface.php?s=/Count/getToken.html");
  if (!token.ok) return false;
  const FormFields form =
      MakeSignForm(token.body, GetMacAddress(0), uid, GetFileVersionText(CurrentProgramPath()));
  return HttpPostForm(StatHost(), "/interface.php?s=/Count/sign.html", form).ok;
}

}  // namespace online
