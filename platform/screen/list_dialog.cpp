#include "platform/screen/list_dialog.h"

#include <gtk/gtk.h>

#include "platform/screen/message_box.h"
#include "platform/screen/signal.h"
#include "platform/screen/widgets.h"

namespace screen {

std::optional<size_t> ChooseFromList(std::string_view title, std::string_view prompt,
                                     const std::vector<std::string>& items, size_t marked, const char* accept,
                                     const ListDialogExtension& extend) {
  const std::string cancel = DesktopLabel("_Cancel", false), take = DesktopLabel(accept, false);
  GtkWidget* dialog =
      gtk_dialog_new_with_buttons(std::string(title).c_str(), DialogParent(), GTK_DIALOG_MODAL, cancel.c_str(),
                                  GTK_RESPONSE_CANCEL, take.c_str(), GTK_RESPONSE_OK, nullptr);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  GtkWidget* box = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
  gtk_container_set_border_width(GTK_CONTAINER(box), 8);
  gtk_box_set_spacing(GTK_BOX(box), 6);
  GtkWidget* label = gtk_label_new(std::string(prompt).c_str());
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  gtk_box_pack_start(GTK_BOX(box), label, FALSE, FALSE, 0);

  GtkListStore* store = gtk_list_store_new(1, G_TYPE_STRING);
  for (const std::string& item : items) {
    GtkTreeIter it;
    gtk_list_store_append(store, &it);
    gtk_list_store_set(store, &it, 0, item.c_str(), -1);
  }
  GtkWidget* view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
  g_object_unref(store);
  gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(view), FALSE);
  gtk_tree_view_append_column(GTK_TREE_VIEW(view), gtk_tree_view_column_new_with_attributes(
                                                       "", gtk_cell_renderer_text_new(), "text", 0, nullptr));
  GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroll), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
  gtk_widget_set_size_request(scroll, 320, 160);
  gtk_container_add(GTK_CONTAINER(scroll), view);
  gtk_box_pack_start(GTK_BOX(box), scroll, TRUE, TRUE, 0);
  std::function<void()> readExtension;
  if (extend) readExtension = extend(box);
  if (!items.empty()) {
    GtkTreePath* path = gtk_tree_path_new_from_indices(static_cast<int>(marked < items.size() ? marked : 0), -1);
    gtk_tree_view_set_cursor(GTK_TREE_VIEW(view), path, nullptr, FALSE);
    gtk_tree_path_free(path);
  }
  gtk_widget_grab_focus(view);

  int response = 0;
  Connect(
      dialog, "response",
      [](GtkDialog*, int r, gpointer data) { *static_cast<int*>(data) = r == GTK_RESPONSE_OK ? 1 : 2; }, &response);
  Connect(
      view, "row-activated",
      [](GtkTreeView*, GtkTreePath*, GtkTreeViewColumn*, gpointer d) {
        gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_OK);
      },
      dialog);
  // The close box answers through "response" (cancel); the window stays for us to destroy.
  Connect(
      dialog, "delete-event", [](GtkWidget*, GdkEvent*, gpointer) { return TRUE; }, nullptr);
  RunModal(dialog, [&response] { return response != 0; });
  std::optional<size_t> chosen;
  GtkTreeModel* model = nullptr;
  GtkTreeIter it;
  if (response == 1 &&
      gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(view)), &model, &it)) {
    GtkTreePath* path = gtk_tree_model_get_path(model, &it);
    chosen = static_cast<size_t>(gtk_tree_path_get_indices(path)[0]);
    gtk_tree_path_free(path);
    if (readExtension) readExtension();
  }
  gtk_widget_destroy(dialog);
  return chosen;
}

}  // namespace screen
