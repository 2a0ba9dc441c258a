#include "platform/screen/message_box.h"

#include <gtk/gtk.h>

#include <string>

#include "platform/screen/pump.h"
#include "platform/screen/widgets.h"
#include "platform/screen/signal.h"

namespace screen {
namespace {

const char* ButtonLabel(uiscript::Answer a) {
  switch (a) {
    case uiscript::kOk: return "OK";
    case uiscript::kCancel: return "Cancel";
    case uiscript::kAbort: return "_Abort";
    case uiscript::kRetry: return "_Retry";
    case uiscript::kIgnore: return "_Ignore";
    case uiscript::kYes: return "_Yes";
    case uiscript::kNo: return "_No";
  }
  return "?";
}

GtkMessageType IconOf(int32_t style) {
  switch (style & 0x70) {
    case uiscript::kIconCritical: return GTK_MESSAGE_ERROR;
    case uiscript::kIconQuestion: return GTK_MESSAGE_QUESTION;
    case uiscript::kIconExclamation: return GTK_MESSAGE_WARNING;
    case uiscript::kIconInformation: return GTK_MESSAGE_INFO;
    default: return GTK_MESSAGE_OTHER;
  }
}

// The platform writes line breaks as CR LF; the screen wants LF alone.
std::string PlainLines(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') continue;
      out += '\n';
      continue;
    }
    out += text[i];
  }
  return out;
}

}  // namespace

GtkWindow* DialogParent() {
  GList* all = gtk_window_list_toplevels();
  GtkWindow* active = nullptr;
  GtkWindow* visible = nullptr;
  for (GList* l = all; l; l = l->next) {
    GtkWindow* w = GTK_WINDOW(l->data);
    if (!gtk_widget_get_visible(GTK_WIDGET(w)) || gtk_window_get_window_type(w) != GTK_WINDOW_TOPLEVEL) continue;
    visible = w;
    if (gtk_window_is_active(w)) active = w;
  }
  g_list_free(all);
  return active ? active : visible;
}

uiscript::Answer ShowMessageBox(std::string_view text, int32_t style, std::string_view caption) {
  const std::vector<uiscript::Answer> buttons = uiscript::BoxButtons(style);
  const uiscript::Answer byDefault = buttons[uiscript::BoxDefaultButton(style)];
  // No screen to ask on any more: the box takes its default button, as an
  // unattended box does when the session ends under it.
  if (DisplayLost()) return byDefault;
  bool hasCancel = false;
  for (uiscript::Answer b : buttons) hasCancel = hasCancel || b == uiscript::kCancel;
  // What Escape and the close box mean; 0: they do nothing.
  const int escape = hasCancel ? uiscript::kCancel : buttons.size() == 1 ? buttons[0] : 0;

  const std::string body = PlainLines(text);
  GtkWidget* dialog = gtk_message_dialog_new(DialogParent(), GTK_DIALOG_MODAL, IconOf(style), GTK_BUTTONS_NONE, "%s",
                                             body.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), std::string(caption).c_str());
  gtk_window_set_deletable(GTK_WINDOW(dialog), escape != 0);
  for (uiscript::Answer b : buttons) gtk_dialog_add_button(GTK_DIALOG(dialog), ButtonLabel(b), b);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), byDefault);
  if (GtkWidget* def = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), byDefault)) gtk_widget_grab_focus(def);

  struct Outcome {
    int answer = 0;
    int escape = 0;
  } outcome{0, escape};
  Connect(dialog, "response", [](GtkDialog*, int response, gpointer data) {
                     auto* o = static_cast<Outcome*>(data);
                     if (response > 0) o->answer = response;
                     else if (o->escape != 0) o->answer = o->escape;  // Escape or the close box
                   }, &outcome);
  // The close box asks through "response"; the window stays until answered.
  Connect(dialog, "delete-event", [](GtkWidget*, GdkEvent*, gpointer) { return TRUE; }, nullptr);
  RunModal(dialog, [&outcome] { return outcome.answer != 0; });
  gtk_widget_destroy(dialog);
  return static_cast<uiscript::Answer>(outcome.answer);
}

void InstallMessageBoxes() { uiscript::SetBoxPresenter(&ShowMessageBox); }

}  // namespace screen
