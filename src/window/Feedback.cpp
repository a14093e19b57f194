// User feedback through the suggestion popup.
#include "online/common.h"
#include "window/unitMain.h"

void TunitMain::btnSuggestClick(TvxObject*) {
  if (suggestPop->PopupModal() != mrYes) return;
  // The texts exactly as they stand, prompts included; the boxes keep them. The post runs on a
  // worker within its time cap while the window keeps painting.
  const std::string email = HudTextBoxMail->Text().toStdString();
  const std::string content = HudTextBoxSuggest->Text().toStdString();
  WaitOffMainThread([email, content] { online::SendFeedback(email, content); });
}
