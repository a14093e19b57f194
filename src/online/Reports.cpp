// Usage reports, listening status and feedback.
#include <algorithm>

#include "online/Hosts.h"
#include "online/common.h"

namespace online {
namespace {

constexpr const char* kStatisticPath = "/interface.php?m=Index&a=tjOper";

void PostStatisticForm(const FormFields& form, const HttpLimits& limits) {
  HttpPostForm(StatHost(), kStatisticPath, form, limits);
}

HttpLimits WindowLimits(long totalMs) {
  HttpLimits limits = DefaultHttpLimits();
  if (limits.totalTimeoutMs == 0 || limits.totalTimeoutMs > totalMs)
    limits.totalTimeoutMs = totalMs;
  limits.connectTimeoutMs = std::min(limits.connectTimeoutMs, totalMs);
  return limits;
}

}  // namespace

FormFields MakeOpenReportForm(const std::string& ip, const std::string& mac) {
  FormFields form;
  form.Set("IP", ip);
  form.Set("MAC", mac);
  form.Set("oper", "open");
  return form;
}

void PostStatistic(const std::string& oper, const std::string& btnName) {
  FormFields form;
  if (oper == "open") {
    form = MakeOpenReportForm(GetLocalIP(), GetMacAddress(0));
  } else if (oper == "click") {
    form.Set("oper", "click");
    form.Set("btnName", btnName);
  } else if (oper == "close") {
    form.Set("oper", "close");
  } else {
    return;
  }
  PostStatisticForm(form, DefaultHttpLimits());
}

void PostCloseStatistic() {
  FormFields form;
  form.Set("oper", "close");
  PostStatisticForm(form, WindowLimits(kCloseReportTimeoutMs));
}

FormFields MakeListeningStatusForm(const std::string& mac, const std::string& uid,
                                   const std::string& songName, const std::string& singer,
                                   const std::string& status) {
  FormFields form;
  form.Set("mac", mac);
  form.Set("uid", uid);
  form.Set("song_name", songName);
  form.Set("singer", singer);
  form.Set("status", status);
  return form;
}

void PostListeningStatus(const std::string& uid, const std::string& songName,
                         const std::string& singer, const std::string& status) {
  HttpPostForm(WebHost(), "/player",
               MakeListeningStatusForm(GetMacAddress(0), uid, songName, singer, status));
}

void SendFeedback(const std::string& email, const std::string& content) {
  FormFields form;
  form.Set("email", email);
  form.Set("content", content);
  HttpPostForm(WebHost(), "/index.php?m=question&a=suggest", form,
               WindowLimits(kWindowRequestTimeoutMs));
}

}  // namespace online
